// The running encoder end to end: the fake sound card plays the test signal in real time, the
// instance's threads demodulate, code and frame it, and destination 0 is a loopback receiver.
// The packets are read from their wire layout alone.
#include "app/EngineParts.h"
#include "app/ModelCommon.h"
#include "audio/soundcard/CompositeTestSignal.h"
#include "audio/soundcard/PortAudioBackend.h"
#include "audio/soundcard/PortaudioWrapper.h"
#include "logging/KestravaInstanceConfig.h"
#include "logging/RecordingSink.h"
#include "model/Model.h"
#include "net/UdpReceiver.h"
#include "support/TempDir.h"
#include "transport/TransportPackets.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <memory>
#include <set>
#include <vector>

using kestrava::audio::soundcard::CompositeSignal;
using kestrava::audio::soundcard::CompositeTestSignal;
using kestrava::audio::soundcard::PortAudioBackend;
using kestrava::audio::soundcard::PortaudioWrapper;

namespace {

using kestrava::settings::EncoderSettings;

using Clock = std::chrono::steady_clock;
using transporttest::Bytes;

constexpr std::uint32_t inputRate = 192000;
constexpr std::uint32_t blockLength = 2040;     // records per frame at 192 kHz
constexpr double runSeconds = 5.0;              // of audio received
constexpr std::uint32_t groupFrames = 64;       // the default redundancy group: 64 frames,
constexpr std::uint32_t recoveryPackets = 4;    // then 4 recovery packets
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
constexpr bool instrumentedBuild = true;
#else
constexpr bool instrumentedBuild = false;
#endif
// Teardown waits at most 2 s for the audio threads and 4 s for the socket manager.
constexpr auto stopLimit = std::chrono::milliseconds(6000);

// The composite test signal of the README's run (pilot, stereo tone, RDS), generated as played.
CompositeSignal testComposite() {
    return [signal = CompositeTestSignal(inputRate)](float* block, std::uint32_t count) mutable {
        signal.generate(block, count);
    };
}

struct Received {
    std::vector<transporttest::FrameFieldsRead> frames;
    // Per frame: the datagrams our own socket had dropped before it arrived (a reader that fell
    // behind on a busy machine); a gap in the positions is the sender's fault only without them.
    std::vector<std::uint32_t> dropsBefore;
    std::vector<transporttest::RecoveryFieldsRead> recovery;
    std::uint64_t frameBytes = 0;
    Clock::time_point firstFrameAt{}, lastFrameAt{};
    std::uint64_t samplesCovered = 0;  // from the first frame's position to the last frame's end
};

class RunningEncoder : public testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        // The instance's folders go to a scratch place, not the user's.
        setenv("XDG_CONFIG_HOME", (home.str() + "/config").c_str(), 1);
        setenv("XDG_STATE_HOME", (home.str() + "/state").c_str(), 1);
    }

    kestrava::test::TempDir home;
    std::shared_ptr<RecordingSink> log = std::make_shared<RecordingSink>(false);

    bool logged(const std::string& text) {
        for (const auto& line : log->snapshot()) {
            if (line.find(text) != std::string::npos) return true;
        }
        return false;
    }
};

// Takes datagrams until the frames span runSeconds of audio; a receive deadline guards against a
// chain that never delivers.
Received receiveFor(nettest::UdpReceiver& receiver) {
    Received r;
    const auto giveUp = Clock::now() + std::chrono::seconds(60);
    std::uint32_t firstPosition = 0;
    while (Clock::now() < giveUp) {
        auto datagram = receiver.receive(2000);
        if (!datagram) continue;
        const Bytes& bytes = datagram->bytes;
        if (bytes.size() < 2) {
            ADD_FAILURE() << "a datagram of " << bytes.size() << " bytes";
            continue;
        }
        if ((bytes[1] & 0x80) != 0) {
            // Those of a group whose frames went out before the destination was open are left out.
            if (!r.frames.empty()) r.recovery.push_back(transporttest::readRecoveryHeader(bytes));
            continue;
        }
        const auto frame = transporttest::readFrameHeader(bytes);
        const auto now = Clock::now();
        if (r.frames.empty()) {
            r.firstFrameAt = now;
            firstPosition = frame.position;
        }
        r.lastFrameAt = now;
        r.frames.push_back(frame);
        r.dropsBefore.push_back(datagram->dropsBefore);
        r.frameBytes += bytes.size();
        r.samplesCovered = static_cast<std::uint32_t>(frame.position - firstPosition) + std::uint64_t{frame.sampleCount};
        if (static_cast<double>(r.samplesCovered) >= runSeconds * inputRate) break;
    }
    return r;
}

TEST_P(RunningEncoder, SendsTheCompositeFromTheFakeSoundcardToDestinationZero) {
    const std::string address = GetParam();
    const int family = address.find(':') != std::string::npos ? AF_INET6 : AF_INET;
    nettest::UdpReceiver receiver(family, address.c_str());
    if (!receiver.ok() && family == AF_INET6) GTEST_SKIP() << "this machine has no IPv6 loopback";
    ASSERT_TRUE(receiver.ok());
    receiver.enlargeBuffer(8 << 20);

    // The fake sound card in place of the audio library, on a wrapper of the test's own; the
    // log goes to the test instead of the instance's files.
    PortaudioWrapper wrapper(std::make_unique<PortAudioBackend>());
    EngineParts parts = engineParts({&wrapper, true, testComposite()});
    parts.wireLogging = [this](KestravaInstanceConfig& config, const InstancePaths&) {
        config.logger.addSink(log);
        config.logger.enable();
    };
    Model model;
    auto* common = new ModelCommon(&model, "kestrava-encoder", std::move(parts));
    ASSERT_NE(common, nullptr);
    EncoderSettings& settings = *common->encoderSettings;
    settings.inputDevice = 0;
    settings.destinationOn[0] = true;
    std::strncpy(settings.destinationHost[0].data(), address.c_str(), EncoderSettings::hostSize - 1);
    settings.destinationPort[0] = std::stoi(receiver.portText());
    common->encoderInstance->applySettings();

    const Received r = receiveFor(receiver);

    const auto stopStart = Clock::now();
    delete common;
    const auto stopTime = Clock::now() - stopStart;
    EXPECT_LT(stopTime, stopLimit) << "stopping took "
                                   << std::chrono::duration_cast<std::chrono::milliseconds>(stopTime).count() << " ms";

    ASSERT_GE(static_cast<double>(r.samplesCovered), runSeconds * inputRate)
        << r.frames.size() << " frames arrived before the deadline";

    // Every frame: codec version 3 (the default), a frame packet with the source flag, one block
    // of samples, its position where the previous frame's samples end; reset blocks at least
    // every half second (the default interval) plus one block.
    const std::uint32_t drops = r.dropsBefore.back();
    EXPECT_LE(drops, r.frames.size() / 2) << "the test's reader fell far behind";
    const std::uint32_t resetGap = static_cast<std::uint32_t>(0.5 * inputRate / blockLength) + 2;
    bool resetSeen = false;  // since the last loss
    std::uint32_t lastReset = 0;
    for (std::size_t i = 0; i < r.frames.size(); ++i) {
        SCOPED_TRACE(i);
        const auto& f = r.frames[i];
        EXPECT_EQ(f.version, 3);
        EXPECT_EQ(f.flags & 0x02, 0x02) << "source flag";
        EXPECT_EQ(f.flags & 0x0C, 0) << "pad class of a frame as sent";
        EXPECT_FALSE(f.stamped);
        EXPECT_EQ(f.sampleCount, blockLength);
        const bool lostHere = i > 0 && r.dropsBefore[i] != r.dropsBefore[i - 1];
        if (i > 0 && !lostHere) {
            EXPECT_EQ(f.position, r.frames[i - 1].position + r.frames[i - 1].sampleCount);
        }
        if (lostHere) resetSeen = false;
        if ((f.flags & 0x40) != 0) {
            resetSeen = true;
            lastReset = f.position;
        }
        if (resetSeen) {
            EXPECT_LE((f.position - lastReset) / blockLength, resetGap);
        }
    }

    // The packets come at the pace of the sound card: one frame per block of input, never faster.
    // An instrumented build on two loaded processors may fall behind by any amount, so there a
    // stalled chain is left to the receive deadline.
    const double wall = std::chrono::duration<double>(r.lastFrameAt - r.firstFrameAt).count();
    const double audio = static_cast<double>(r.samplesCovered - blockLength) / inputRate;
    EXPECT_GT(wall, 0.85 * audio) << "frames span " << audio << " s of audio over " << wall << " s";
    if (!instrumentedBuild) {
        EXPECT_LT(wall, 1.15 * audio) << "frames span " << audio << " s of audio over " << wall << " s";
    }

    // The frames carry coded audio within the default 320 kbit/s (two plain tones need less).
    const double kbps = static_cast<double>(r.frameBytes) * 8 / 1000 /
                        (static_cast<double>(r.frames.size()) * blockLength / inputRate);
    EXPECT_GT(kbps, 160.0);
    EXPECT_LT(kbps, 1.1 * 320.0);

    // Recovery packets: 4 after every 64 frames, each naming the first frame of its group and
    // the count of the frame that closed it.
    std::set<std::uint32_t> positions;
    for (const auto& f : r.frames) positions.insert(f.position);
    const double groups = static_cast<double>(r.samplesCovered) / blockLength / groupFrames;
    EXPECT_NEAR(static_cast<double>(r.recovery.size()), groups * recoveryPackets, recoveryPackets + 1.0 + drops);
    std::uint32_t closingFramesMissing = 0;
    for (const auto& rec : r.recovery) {
        EXPECT_TRUE(rec.marked);
        EXPECT_EQ(rec.version, 3);
        EXPECT_EQ(rec.k, groupFrames);
        EXPECT_EQ(rec.m, recoveryPackets);
        EXPECT_LT(rec.index, recoveryPackets);
        EXPECT_EQ(rec.sampleCount, blockLength);
        EXPECT_EQ(rec.tail, 0u);
        // Its group's last frame was received (the group began before the first frame at worst).
        const bool closingFrameSeen = positions.count(rec.firstPosition + (groupFrames - 1) * blockLength) == 1;
        if (!closingFrameSeen) ++closingFramesMissing;
    }
    EXPECT_LE(closingFramesMissing, drops) << "recovery packets whose group's last frame never came";

    if (HasFailure()) {
        for (const auto& line : log->snapshot()) std::printf("log: %s", line.c_str());
    }
    EXPECT_TRUE(logged("Successfully opened sound card"));
    EXPECT_TRUE(logged("Running fake soundcard"));
    EXPECT_TRUE(logged("to destinations list"));
}

INSTANTIATE_TEST_SUITE_P(Loopback, RunningEncoder, testing::Values("127.0.0.1", "::1"),
                         [](const testing::TestParamInfo<const char*>& info) {
                             return std::string(info.param).find(':') != std::string::npos ? "IPv6" : "IPv4";
                         });

}  // namespace
