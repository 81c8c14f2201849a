#include "codec/CodecKernels.h"

#include "platform/CpuFeatures.h"

namespace codec_x86 {
extern const CodecKernels avx2Kernels;
}

namespace {

void lpc16Correlate(const double* x, double* r) {
    for (int lag = 0; lag < 16; ++lag) {
        double s[4] = {0.0, 0.0, 0.0, 0.0};
        for (int t = lag & ~3; t < 128; ++t) s[t & 3] = s[t & 3] + x[t] * x[t - lag];
        r[lag] = ((s[0] + s[1]) + s[2]) + s[3];
    }
}

float laneSum(const float* w, int k, int begin, int end, float (&c)[4]) {
    for (int t = begin; t < end; ++t) c[t & 3] = c[t & 3] + w[t] * w[t - k];
    return ((c[0] + c[1]) + c[2]) + c[3];
}

void lpc11Sums(const float* w, std::uint32_t skip, std::uint32_t end, float* r) {
    for (int k = 0; k < 12; ++k) {
        float c[4] = {0.0f, 0.0f, 0.0f, 0.0f};
        r[k] = laneSum(w, k, (k & ~3) + static_cast<int>(skip), static_cast<int>(end), c);
    }
}

void lpc11EdgeSums(const float* w, float* r) {
    for (int k = 0; k < 12; ++k) {
        float c[4] = {0.0f, 0.0f, 0.0f, 0.0f};
        laneSum(w, k, k & ~3, (k & ~3) + 12, c);
        r[k] = laneSum(w, k, 308, 320, c);
    }
}

void lpc5Correlate(const double* w, double* r) {
    for (int k = 0; k < 6; ++k) {
        double even = 0.0;
        double odd = 0.0;
        for (int i = 0; i < 32; ++i) {
            even = even + w[2 * i] * w[2 * i - k];
            odd = odd + w[2 * i + 1] * w[2 * i + 1 - k];
        }
        r[k] = even + odd;
    }
}

void lpc3Correlate(const float* b, float* r) {
    for (int k = 0; k < 4; ++k) {
        float s[4] = {0.0f, 0.0f, 0.0f, 0.0f};
        for (int j = 0; j < 32; ++j) s[j & 3] = s[j & 3] + b[j] * b[j - k];
        r[k] = ((s[0] + s[1]) + s[2]) + s[3];
    }
}

void preFilterScale(const float* x, double* e, double* m, std::uint32_t count) {
    for (std::uint32_t i = 0; i < count; ++i) {
        e[i] = static_cast<double>(x[i]) / 1.644764842;
        m[i] = static_cast<double>(x[i]) / 28.70646992;
    }
}

const CodecKernels genericKernels = {"generic",     lpc16Correlate, lpc11Sums,     lpc11EdgeSums,
                                     lpc5Correlate, lpc3Correlate,  preFilterScale};

}  // namespace

const CodecKernels& genericCodecKernels() { return genericKernels; }

const CodecKernels* avx2CodecKernels() {
    return kestrava::cpuFeatures().avx2 ? &codec_x86::avx2Kernels : nullptr;
}

const CodecKernels& codecKernels() {
    static const CodecKernels& chosen = kestrava::useAvx2Routines() ? codec_x86::avx2Kernels : genericKernels;
    return chosen;
}
