#include "codec/CodecKernels.h"

#include "platform/CpuFeatures.h"

#include <cstring>

namespace kestrava::codec {

namespace x86 {
extern const CodecKernels avx2Kernels;
}

namespace {

// Named accumulators, two lags at a time, so that each lane's chain stays in a register and the
// chains of several lanes overlap; every lane still adds its terms in increasing position.

// Two lanes of doubles: the processor's baseline vectors (SSE2 on x86-64), lane by lane the same
// arithmetic as four named accumulators.
typedef double DoublePair __attribute__((vector_size(16)));

inline DoublePair loadPair(const double* p) {
    DoublePair v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

void lpc16Correlate(const double* x, double* r) {
    for (int lag = 0; lag < 16; lag += 2) {
        const int first = lag & ~3;
        DoublePair a01 = {0.0, 0.0}, a23 = {0.0, 0.0};  // lanes of `lag`
        DoublePair b01 = {0.0, 0.0}, b23 = {0.0, 0.0};  // lanes of `lag + 1`
        for (int t = first; t < 128; t += 4) {
            const double* p = x + t - lag;
            const DoublePair x01 = loadPair(x + t);
            const DoublePair x23 = loadPair(x + t + 2);
            a01 = a01 + x01 * loadPair(p);
            a23 = a23 + x23 * loadPair(p + 2);
            b01 = b01 + x01 * loadPair(p - 1);
            b23 = b23 + x23 * loadPair(p + 1);
        }
        r[lag] = ((a01[0] + a01[1]) + a23[0]) + a23[1];
        r[lag + 1] = ((b01[0] + b01[1]) + b23[0]) + b23[1];
    }
}

struct FloatLanes {
    float c0 = 0.0f, c1 = 0.0f, c2 = 0.0f, c3 = 0.0f;
    float total() const { return ((c0 + c1) + c2) + c3; }
};

// Positions begin..end-1 (begin a multiple of 4, end - begin too) of lags k and k + 1. The lanes are
// copied into locals so that they stay in registers through the loop.
void addLanePair(const float* w, int k, int begin, int end, FloatLanes& a, FloatLanes& b) {
    float a0 = a.c0, a1 = a.c1, a2 = a.c2, a3 = a.c3;
    float b0 = b.c0, b1 = b.c1, b2 = b.c2, b3 = b.c3;
    for (int t = begin; t < end; t += 4) {
        const float* p = w + t - k;
        a0 = a0 + w[t] * p[0];
        a1 = a1 + w[t + 1] * p[1];
        a2 = a2 + w[t + 2] * p[2];
        a3 = a3 + w[t + 3] * p[3];
        b0 = b0 + w[t] * p[-1];
        b1 = b1 + w[t + 1] * p[0];
        b2 = b2 + w[t + 2] * p[1];
        b3 = b3 + w[t + 3] * p[2];
    }
    a = {a0, a1, a2, a3};
    b = {b0, b1, b2, b3};
}

void lpc11Sums(const float* w, std::uint32_t skip, std::uint32_t end, float* r) {
    for (int k = 0; k < 12; k += 2) {
        FloatLanes a, b;
        addLanePair(w, k, (k & ~3) + static_cast<int>(skip), static_cast<int>(end), a, b);
        r[k] = a.total();
        r[k + 1] = b.total();
    }
}

void lpc11EdgeSums(const float* w, float* r) {
    for (int k = 0; k < 12; k += 2) {
        FloatLanes a, b;
        addLanePair(w, k, k & ~3, (k & ~3) + 12, a, b);
        addLanePair(w, k, 308, 320, a, b);
        r[k] = a.total();
        r[k + 1] = b.total();
    }
}

void lpc5Correlate(const double* w, double* r) {
    for (int k = 0; k < 6; k += 2) {
        double evenA = 0.0, oddA = 0.0, evenB = 0.0, oddB = 0.0;
        for (int i = 0; i < 64; i += 2) {
            evenA = evenA + w[i] * w[i - k];
            oddA = oddA + w[i + 1] * w[i + 1 - k];
            evenB = evenB + w[i] * w[i - k - 1];
            oddB = oddB + w[i + 1] * w[i - k];
        }
        r[k] = evenA + oddA;
        r[k + 1] = evenB + oddB;
    }
}

void lpc3Correlate(const float* b, float* r) {
    for (int k = 0; k < 4; k += 2) {
        FloatLanes lagK, lagNext;
        addLanePair(b, k, 0, 32, lagK, lagNext);
        r[k] = lagK.total();
        r[k + 1] = lagNext.total();
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
    return kestrava::cpuFeatures().avx2 ? &x86::avx2Kernels : nullptr;
}

const CodecKernels& codecKernels() {
    static const CodecKernels& chosen = kestrava::useAvx2Routines() ? x86::avx2Kernels : genericKernels;
    return chosen;
}

}  // namespace kestrava::codec
