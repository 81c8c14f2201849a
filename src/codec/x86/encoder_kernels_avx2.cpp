// The AVX2 build of the per-sample coders: the same source as the generic build, compiled with
// -mavx2 (never FMA, and -ffp-contract=off as everywhere), so both give the same bits.
#include "codec/EncoderKernels.h"

#include "codec/LevinsonSteps.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <utility>

namespace kestrava::codec {

namespace {

#include "codec/EncoderLoops.inl"

}  // namespace

namespace x86 {
extern const CodecKernels avx2Kernels;
extern const EncoderKernels avx2EncoderKernels;
const EncoderKernels avx2EncoderKernels = {"avx2",        &avx2Kernels,   codeMainDouble, codeThirdDouble,
                                           codeMainFloat, codeThirdFloat, codeMainLegacy, codeMainLegacyPair, codeThirdLegacy};
}  // namespace x86

}  // namespace kestrava::codec
