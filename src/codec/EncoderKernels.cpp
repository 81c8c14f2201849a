#include "codec/EncoderKernels.h"

#include "codec/LevinsonSteps.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <utility>

#include "platform/CpuFeatures.h"

namespace kestrava::codec {

namespace x86 {
extern const EncoderKernels avx2EncoderKernels;
}

namespace {

#include "codec/EncoderLoops.inl"

const EncoderKernels genericKernels = {"generic",      &genericCodecKernels(), codeMainDouble, codeThirdDouble,
                                       codeMainFloat,  codeThirdFloat,         codeMainLegacy, codeMainLegacyPair, codeThirdLegacy};

}  // namespace

const EncoderKernels& genericEncoderKernels() { return genericKernels; }

const EncoderKernels* avx2EncoderKernels() {
    return kestrava::cpuFeatures().avx2 ? &x86::avx2EncoderKernels : nullptr;
}

const EncoderKernels& encoderKernels() {
    static const EncoderKernels& chosen =
        kestrava::useAvx2Routines() ? x86::avx2EncoderKernels : genericKernels;
    return chosen;
}

}  // namespace kestrava::codec
