// The offline chain stamped by a synthetic 1 Hz NMEA receiver, read back through the test-side
// stream decoder: after lock one stamped frame per second, consecutive seconds, and each second's
// start within one input sample of the receiver's second (its arrival in stream time).
#include "EncodedRun.h"
#include "decoder/StreamPackets.h"
#include "gps/NmeaScript.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

namespace {

struct StampRead {
    double pulse = 0.0;  // input samples from the first frame's first sample
    std::uint32_t second = 0;
};

class GpsStampedStream : public ::testing::TestWithParam<std::uint32_t> {};

TEST_P(GpsStampedStream, OneStampPerSecondAtTheReceiversSecond) {
    const std::uint32_t rate = GetParam();
    OfflineChainOptions o;
    o.inputRate = rate;
    o.version = 2;
    o.kbps = 320;
    o.nmeaSynthetic = true;
    const double seconds = 50.0;
    const EncodedRun run = encodeTestSignal(o, seconds);
    const auto stream = streamdecoder::receiveStream(run.packets, std::nullopt);
    ASSERT_FALSE(stream.frames.empty());

    // Frame positions count input samples (at 176.4 kHz too: the stream runs at the input rate).
    std::vector<StampRead> stamps;
    std::uint64_t start = 0;
    for (std::size_t i = 0; i < stream.frames.size(); ++i) {
        const auto& h = stream.frames[i].header;
        if (i > 0) {
            const auto& prev = stream.frames[i - 1].header;
            ASSERT_EQ(h.position, static_cast<std::uint32_t>(prev.position + prev.sampleCount));
        }
        if (h.stamped) {
            // The offset field holds the offset at 192 kHz times (16 - 2^-16), truncated.
            const double offset = h.gpsOffset / (16.0 - 1.0 / 65536.0) * rate / 192000.0;
            stamps.push_back(StampRead{static_cast<double>(start) + offset, h.gpsSecond});
            EXPECT_LE(offset, h.sampleCount + 1.0);
        }
        start += h.sampleCount;
    }

    const kestrava::gps::SyntheticNmea receiver;
    // Lock needs six intervals for the mean and 33 matched pulses after them.
    ASSERT_GE(stamps.size(), 5u);
    EXPECT_LE(stamps.size(), 12u);
    for (std::size_t i = 0; i < stamps.size(); ++i) {
        SCOPED_TRACE(stamps[i].second);
        const std::int64_t k = ((static_cast<std::int64_t>(stamps[i].second) -
                                 kestrava::gps::SyntheticNmea::defaultFirstSecond) % 86400 + 86400) % 86400;
        ASSERT_EQ(receiver.secondOf(k), static_cast<std::int32_t>(stamps[i].second));
        EXPECT_NEAR(stamps[i].pulse, receiver.arrivalOf(k) * rate, 1.0);
        if (i > 0) EXPECT_EQ(stamps[i].second, (stamps[i - 1].second + 1) % 86400);
    }
    // From the first stamp to the end of the signal, no second goes without one.
    const double last = receiver.arrivalOf(((static_cast<std::int64_t>(stamps.back().second) -
                                             kestrava::gps::SyntheticNmea::defaultFirstSecond) % 86400 + 86400) % 86400);
    EXPECT_GT(last + 1.0, static_cast<double>(start) / rate);
}

INSTANTIATE_TEST_SUITE_P(Rates, GpsStampedStream, ::testing::Values(192000u, 176400u));

}  // namespace
