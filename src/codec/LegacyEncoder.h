#pragma once

#include "codec/EncoderKernels.h"
#include "codec/EncoderState.h"
#include "codec/LegacyLpc.h"
#include "codec/LegacyQuantizer.h"
#include "platform/AlignedNew.h"

#include <cstdint>
#include <memory>

class KestravaInstanceConfig;

namespace kestrava::codec {

// The encoder of codec version 0: three channels coded on the caller's thread (the two main ones in
// lock step, the third after them),
// each sample predicted by the least-error order of a Levinson-Durbin recursion over the windowed
// last 16 (third channel: 6) reconstructions, and one level table per channel built from the bit rate.
//
// Contract for the frame encoder (encoder feed thread only; no thread of its own, no lock):
//  - Build it with `new` (AlignedNew: null when storage is missing); check ready() before use.
//  - Before the first block the reset packet must run: it loads the histories, power and stepFactor
//    of slots 0 and 1, clears slot 2's ring, sets state.targetRate and state.reservoir, and calls
//    buildLevelTables(rate). Until then configured() is false and encodeBlock() refuses.
//  - encodeBlock() per block; LegacyRateController::update() after each sent frame.
class LegacyEncoder : public kestrava::AlignedNew {
public:
    static constexpr std::uint32_t planeStride = 8192;
    static constexpr std::uint32_t maxBlockLength = 4128;

    explicit LegacyEncoder(KestravaInstanceConfig* config, const EncoderKernels& kernels = encoderKernels());

    LegacyEncoder(const LegacyEncoder&) = delete;
    LegacyEncoder& operator=(const LegacyEncoder&) = delete;

    // Both main-channel quantisers exist.
    bool ready() const;
    // Level tables built (every levelCount at least 1).
    bool configured() const;

    // Builds the three level tables for a bit rate (kbit/s) and sets the three levelCounts; returns
    // the levelCount (all three alike).
    std::uint32_t buildLevelTables(std::uint32_t rateKbps);

    // Codes n samples of three planes (planeStride apart) into three code planes; writes *energy (both
    // main channels' squared reconstructions) and *codeCount (2n); returns 1 when every third-channel
    // code is 0. n = 0 writes 0 and 0 and returns 1. Returns 1 and writes nothing when n >
    // maxBlockLength or the encoder is not ready() and configured(). reconstructionPlanes, when given,
    // receives the reconstructed samples in the planes' layout.
    std::uint32_t encodeBlock(const float* planes, std::int32_t* codePlanes, std::uint32_t n, float* energy,
                              std::uint32_t* codeCount, float* reconstructionPlanes = nullptr);

    KestravaInstanceConfig* config;
    EncoderState<double> state;
    alignas(64) double mainSteps[2][maxBlockLength];
    double secondReconstruction[maxBlockLength];  // the pair coder's energy order
    LegacyLpc<16> predictors[2];
    LegacyLpc<6> thirdPredictor;
    std::shared_ptr<LegacyQuantizer<1>> quantizers[2];
    LegacyQuantizer<1> thirdQuantizer;

private:
    const EncoderKernels& kernels;
};

}  // namespace kestrava::codec
