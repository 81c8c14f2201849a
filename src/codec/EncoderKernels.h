#pragma once

#include "codec/BackwardLpc11.h"
#include "codec/BackwardLpc16.h"
#include "codec/BackwardLpc3.h"
#include "codec/BackwardLpc5.h"
#include "codec/ChannelHistory.h"
#include "codec/ChannelRateState.h"
#include "codec/CodecKernels.h"
#include "codec/LegacyLpc.h"
#include "codec/LegacyQuantizer.h"
#include "codec/LevelClass.h"
#include "codec/Quantizer.h"

#include <cstdint>

namespace kestrava::codec {

// The per-sample coders of the four codec versions, in a generic and an AVX2 build with identical
// codes and state (the same source compiled twice; x86/encoder_kernels_avx2.cpp gets -mavx2, never
// FMA). Each codes n samples of one channel in order: predictor update, prediction, step, rounding
// of the residual (halves away from zero; a NaN residual gives 0, one beyond +-2147483647 steps
// saturates), nearest level, reconstruction into the history, power update. Main-channel coders
// write codes[i] and steps[i] and return the channel's float energy (sum of squared reconstructions,
// legacy: continued from `energy`); third-channel coders take their step from both main rows and
// return 1 when every code is 0. Samples must already be pre-filtered (versions 1 to 3). When
// `reconstruction` is not null it receives each reconstructed sample rounded to float.
// One main channel of the version-0 pair coder.
struct LegacyMainChannel {
    LegacyLpc<16>* lpc;
    ChannelHistory<double>* history;
    ChannelRateState<double>* rate;
    const LegacyQuantizer<1>* quantizer;
    const float* x;
    std::int32_t* codes;
    double* steps;
    float* reconstruction;  // may be null
};

struct EncoderKernels {
    const char* name;
    const CodecKernels* core;  // the predictor and pre-filter build that goes with this one

    // Versions 1 and 2: 15 taps over a ring of 128, power 0.9/0.1.
    float (*codeMainDouble)(BackwardLpc16& lpc, ChannelHistory<double>& history, ChannelRateState<double>& rate,
                            const Quantizer<double, 1>& quantizer, const float* x, std::uint32_t n, std::int32_t* codes,
                            double* steps, float* reconstruction, const CodecKernels& core);
    std::uint32_t (*codeThirdDouble)(BackwardLpc5& lpc, ChannelHistory<double>& history,
                                     const LevelClass<double>& levels, const float* x, std::uint32_t n,
                                     const double* steps0, const double* steps1, std::int32_t* codes,
                                     float* reconstruction, const CodecKernels& core);
    // Version 3: 11 taps over a ring of 320 with the large-prediction fallback, power 0.97/0.03.
    float (*codeMainFloat)(BackwardLpc11& lpc, ChannelHistory<float>& history, ChannelRateState<float>& rate,
                           const Quantizer<float, 1>& quantizer, const float* x, std::uint32_t n, std::int32_t* codes,
                           float* steps, float* reconstruction, const CodecKernels& core);
    std::uint32_t (*codeThirdFloat)(BackwardLpc3& lpc, ChannelHistory<float>& history, const LevelClass<float>& levels,
                                    const float* x, std::uint32_t n, const float* steps0, const float* steps1,
                                    std::int32_t* codes, float* reconstruction, const CodecKernels& core);
    // Version 0: predictor of least error order from the windowed last 16 (third: 6) reconstructions;
    // scale is the rate's level scale W. levelCount limits the level search (1..4096).
    float (*codeMainLegacy)(LegacyLpc<16>& lpc, ChannelHistory<double>& history, ChannelRateState<double>& rate,
                            const LegacyQuantizer<1>& quantizer, double scale, const float* x, std::uint32_t n,
                            std::int32_t* codes, double* steps, float* reconstruction, float energy);
    // Both main channels (channels[0..1]) in lock step, with the same codes, state and energy as
    // codeMainLegacy on channel 0 then channel 1; `later` has room for n values.
    float (*codeMainLegacyPair)(const LegacyMainChannel* channels, double scale, std::uint32_t n, double* later,
                                float energy);
    std::uint32_t (*codeThirdLegacy)(LegacyLpc<6>& lpc, ChannelHistory<double>& history, std::int32_t levelCount,
                                     const LegacyQuantizer<1>& quantizer, const float* x, std::uint32_t n,
                                     const double* steps0, const double* steps1, std::int32_t* codes,
                                     float* reconstruction);
};

const EncoderKernels& genericEncoderKernels();
// The AVX2 build, or null when the processor lacks AVX2.
const EncoderKernels* avx2EncoderKernels();
// The one dispatch point: AVX2 when kestrava::useAvx2Routines(), else generic. Chosen once.
const EncoderKernels& encoderKernels();

}  // namespace kestrava::codec
