#pragma once

// The offline chain run over the composite test signal, as the round-trip tests use it: every
// packet it sends and the encoder's reconstruction of every sent frame.
#include "app/OfflineChain.h"
#include "audio/soundcard/CompositeTestSignal.h"
#include "decoder/StreamPackets.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <vector>

using FramePlanes = std::array<std::vector<float>, 3>;

struct EncodedRun {
    std::vector<streamdecoder::Bytes> packets;
    std::vector<FramePlanes> reconstruction;  // one per sent frame
};

// `seconds` of the composite test signal at `rate`, as the chain is fed it.
inline std::vector<float> compositeTestSignal(std::uint32_t rate, double seconds) {
    std::vector<float> samples(static_cast<std::size_t>(seconds * rate));
    kestrava::audio::soundcard::CompositeTestSignal(rate).generate(samples.data(), samples.size());
    return samples;
}

// `shape`, when given, changes each chunk of the signal before it is coded (gain, noise).
// The chunk length is no multiple of any block size, so blocks straddle the feed calls.
inline EncodedRun encodeSignal(const OfflineChainOptions& options, const std::vector<float>& signal,
                               const std::function<void(float*, std::size_t)>& shape = {}) {
    EncodedRun run;
    OfflineChain chain(options);
    EXPECT_EQ(chain.error(), "");
    chain.onPacket = [&](const std::uint8_t* data, std::size_t n) { run.packets.emplace_back(data, data + n); };
    chain.onReconstruction = [&](const std::array<const float*, 3>& planes, std::uint32_t n) {
        FramePlanes& f = run.reconstruction.emplace_back();
        for (std::size_t c = 0; c < 3; ++c) f[c].assign(planes[c], planes[c] + n);
    };
    std::vector<float> chunk(5000);
    for (std::size_t at = 0; at < signal.size();) {
        const std::size_t n = std::min(signal.size() - at, chunk.size());
        std::copy_n(signal.begin() + static_cast<std::ptrdiff_t>(at), n, chunk.begin());
        if (shape) shape(chunk.data(), n);
        chain.feed(chunk.data(), n);
        at += n;
    }
    return run;
}

inline EncodedRun encodeTestSignal(const OfflineChainOptions& options, double seconds,
                                   const std::function<void(float*, std::size_t)>& shape = {}) {
    return encodeSignal(options, compositeTestSignal(options.inputRate, seconds), shape);
}
