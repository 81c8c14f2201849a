// The decoder over a whole stream: frames whose sections are built here and whose streams come
// from the encoder's entropy coder, sent through the transport sender with recovery packets and
// protection. Frames come back code for code; a group lost beyond repair stops decoding until
// the next reset packet, and a stream joined late starts at its first reset packet.
#include "codec/entropy/EntropyCoder.h"
#include "decoder/StreamDecoder.h"
#include "net/NetTestConfig.h"
#include "net/SenderSlot.h"
#include "net/StreamEncryptor.h"
#include "transport/TRPSender.h"
#include "transport/TransportPackets.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>

using kestrava::transport::TRPSender;

using kestrava::codec::entropy::EntropyCoder;

using namespace streamdecoder;

namespace {

constexpr std::size_t planeCodes = 408;  // 2040 input samples at 192 kHz
constexpr int resetEvery = 8;

struct SentFrame {
    std::array<std::vector<std::int32_t>, 3> codes;
    bool reset = false;
};

// A version 3 stream at 256 kbit/s in Plus mode: reset packets every eighth frame, difference
// form in odd frames, a silent third channel in every third frame.
struct BuiltStream {
    BuiltStream(int k, int m, bool protect, int frameCount) {
        c.config.engine.redundancyDelay = k;
        c.config.engine.redundancyOverhead = m;
        transporttest::RecordingSink sink;
        std::mt19937 rng(99);
        TRPSender sender(&c.config, sink, [&] { return static_cast<std::uint32_t>(rng() % 32768); });
        EntropyCoder coder(&c.config);
        coder.configureReset(16, 5);
        for (int f = 0; f < frameCount; ++f) {
            SentFrame s;
            s.reset = f % resetEvery == 0;
            const bool difference = f % 2 == 1, silent = f % 3 == 2;
            for (auto& plane : s.codes) {
                plane.resize(planeCodes);
                for (auto& v : plane) v = rng() % 3 == 0 ? static_cast<std::int32_t>(rng() % 21) - 10 : 0;
            }
            if (silent) std::fill(s.codes[2].begin(), s.codes[2].end(), 0);
            Bytes frame;
            if (s.reset) {
                frame = {0xE6, 0x10, 0x01, 0x00, 0x40};
                frame.resize(33, 0x80);
            }
            frame.insert(frame.end(), {0x12, 0x34, 0x00, 0x00, 0x00});  // phase, RDS section without bits
            auto code = [&](const std::vector<std::int32_t>& values) {
                std::vector<std::uint8_t> buffer(32768);
                const std::uint32_t n = coder.encode(values.data(), static_cast<std::uint32_t>(values.size()),
                                                     buffer.data(), 32768, 256, 3);
                frame.insert(frame.end(), buffer.begin(), buffer.begin() + n);
            };
            if (difference) {
                std::vector<std::int32_t> second(planeCodes);
                for (std::size_t i = 0; i < planeCodes; ++i) second[i] = s.codes[1][i] - s.codes[0][i];
                code(s.codes[0]);
                code(second);
            } else {
                std::vector<std::int32_t> joint = s.codes[0];
                joint.insert(joint.end(), s.codes[1].begin(), s.codes[1].end());
                code(joint);
            }
            if (!silent) code(s.codes[2]);
            sender.sendFrame(frame.data(), 3, static_cast<std::uint32_t>(frame.size()), 2040, s.reset, difference,
                             silent, true, false, -1.0f, 0, 0.5f);
            sent.push_back(s);
        }
        for (const auto& q : sink.packets) packets.push_back(q.bytes);
        if (protect) {
            c.config.engine.setText(EngineSettings::TextStreamKey1, "00112233445566778899aabbccddeeff");
            c.config.engine.streamProtection = true;
            kestrava::net::StreamEncryptor encryptor(&c.config);
            for (auto& p : packets) {
                Bytes buffer(kestrava::net::SenderSlot::capacity, 0);
                std::copy(p.begin(), p.end(), buffer.begin());
                buffer.resize(encryptor.protect(buffer.data(), static_cast<std::uint32_t>(p.size()),
                                                kestrava::net::SenderSlot::capacity));
                p = buffer;
            }
            options.key = parseKey("00112233445566778899aabbccddeeff");
        }
    }
    nettest::CapturedConfig c;
    std::vector<SentFrame> sent;
    std::vector<Bytes> packets;
    DecoderOptions options;
};

void expectFrames(const StreamDecodeResult& r, const std::vector<SentFrame>& sent, std::size_t firstSent) {
    ASSERT_EQ(r.frames.size(), sent.size() - firstSent);
    for (std::size_t i = 0; i < r.frames.size(); ++i) {
        for (int p = 0; p < 3; ++p) ASSERT_EQ(r.frames[i].codes[p], sent[firstSent + i].codes[p]) << "frame " << i;
        ASSERT_EQ(r.frames[i].reset.has_value(), sent[firstSent + i].reset) << "frame " << i;
    }
}

}  // namespace

TEST(StreamDecoder, FramesComeBackCodeForCodeWithAndWithoutRedundancyAndProtection) {
    struct Case {
        const char* name;
        int k, m;
        bool protect;
    };
    for (const Case& t : {Case{"plain", 0, 0, false}, Case{"k 5 m 2, protected", 5, 2, true}}) {
        SCOPED_TRACE(t.name);
        BuiltStream s(t.k, t.m, t.protect, 40);
        std::vector<Bytes> packets = s.packets;
        if (t.m > 0) {
            // Two packets of every group of seven lost.
            std::vector<Bytes> kept;
            for (std::size_t i = 0; i < packets.size(); ++i) {
                if (i % 7 != 1 && i % 7 != 4) kept.push_back(packets[i]);
            }
            packets = kept;
        }
        std::ostringstream lines;
        s.options.diagnostics = &lines;
        const StreamDecodeResult r = decodeStream(packets, s.options);
        EXPECT_EQ(r.unreadableFrames, 0u);
        EXPECT_EQ(r.gaps, 0u);
        expectFrames(r, s.sent, 0);
        EXPECT_NE(lines.str().find(" reset joint"), std::string::npos);
        if (t.m > 0) {
            EXPECT_NE(lines.str().find(" rebuilt"), std::string::npos);
        }
    }
}

TEST(StreamDecoder, JoinsAtAResetPacketAndResumesAtTheNextAfterALoss) {
    BuiltStream s(5, 1, false, 40);
    // Joined at packet 3 (frame 3): frames 3..7 wait for the reset packet of frame 8.
    std::vector<Bytes> late(s.packets.begin() + 3, s.packets.end());
    const StreamDecodeResult joined = decodeStream(late, s.options);
    EXPECT_EQ(joined.skippedFrames, 5u);
    expectFrames(joined, s.sent, 8);

    // Group 2 (frames 10..14, packets 12..17) loses frames 11 and 12: decoding stops at the gap
    // and resumes with the reset packet of frame 16.
    std::vector<Bytes> lossy = s.packets;
    lossy.erase(lossy.begin() + 13, lossy.begin() + 15);
    const StreamDecodeResult r = decodeStream(lossy, s.options);
    EXPECT_EQ(r.received.groupsBeyondRepair, 1u);
    EXPECT_EQ(r.gaps, 1u);
    EXPECT_EQ(r.skippedFrames, 3u);  // frames 13 to 15
    ASSERT_EQ(r.frames.size(), 11u + 24u);
    EXPECT_EQ(r.positions[11], r.positions[0] + 16u * 2040u);
    EXPECT_EQ(r.frames[11].codes[0], s.sent[16].codes[0]);
}

TEST(StreamDecoder, DamagedPacketsNeverCrashTheDecoder) {
    BuiltStream s(4, 2, false, 24);
    std::mt19937 rng(5);
    for (int round = 0; round < 60; ++round) {
        std::vector<Bytes> packets = s.packets;
        for (int d = 0; d < 3; ++d) {
            Bytes& p = packets[rng() % packets.size()];
            if (rng() % 4 == 0) {
                p.resize(rng() % (p.size() + 1));
            } else if (!p.empty()) {
                p[rng() % p.size()] ^= static_cast<std::uint8_t>(1u << (rng() % 8));
            }
        }
        const StreamDecodeResult r = decodeStream(packets, s.options);
        EXPECT_LE(r.frames.size(), s.sent.size()) << "round " << round;
    }
}
