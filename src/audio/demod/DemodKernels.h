#pragma once

#include <cstdint>

namespace kestrava::audio::demod {

// The element-wise routines of the demodulator's frame step, in two builds: the generic one
// (the definition) and one for processors with AVX2. Both give bit-identical results: every
// output element is the same single-precision operations in the same order, without fused
// multiply-add. The transforms, the pilot loop and the RDS energy sums stay outside, scalar.
// All buffers start on 64-byte boundaries and hold at least 4128 floats.
struct DemodKernels {
    const char* name;

    // buffer[i] *= window[i] for i = 0..1023 and 3072..4095; the middle is left alone.
    void (*taper)(float* buffer, const float* window);

    // In place on a CCS spectrum: multiply elements 0..passStart by their gains; when
    // passEnd <= zeroStart multiply passEnd..zeroStart; when zeroStart <= 4096 clear
    // zeroStart..4096. Runs are clipped at element 4096; element 4097 and up are never touched.
    void (*applyBandMask)(float* spectrum, const float* gains, std::uint32_t passStart, std::uint32_t passEnd,
                          std::uint32_t zeroStart);

    // For each of the 4096 samples, with phase p (cycles) from phases[i]: interpolates the carriers
    // at x = 4096 p between rows k = trunc(x) (0 for a NaN or negative x, at most 4095) and k + 1,
    // and forms from the tapered frame a = difference[i] (the value on entry):
    //   difference[i] = (2 sin 2φ)·a, quadrature[i] = (cos 2φ · a)·2,
    //   rdsInPhase[i] *= sin 3φ,       rdsQuadrature[i] *= cos 3φ.
    void (*mixCarriers)(const float* phases, const float (*carrierTable)[4], const float* rdsQuadratureCarrierTable,
                        float* difference, float* quadrature, float* rdsInPhase, float* rdsQuadrature);

    // left = mono + difference, right = mono - difference, for 4096 samples.
    void (*stereoMatrix)(const float* mono, const float* difference, float* left, float* right);
};

const DemodKernels& genericDemodKernels();
// Null when this processor (or this build) has no AVX2.
const DemodKernels* avx2DemodKernels();
// The one choice of the process, made once from the processor's features (KESTRAVA_CPU=generic
// forces the generic build).
const DemodKernels& demodKernels();

}  // namespace kestrava::audio::demod
