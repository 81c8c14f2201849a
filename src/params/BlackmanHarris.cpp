#include "params/BlackmanHarris.h"

#include "platform/AlignedNew.h"
#include "platform/RealFft.h"

#include <cmath>
#include <cstring>

using kestrava::audio::Audio;

namespace kestrava::params {

namespace {

constexpr std::size_t splitStride = BlackmanHarris::maxSize + 16;  // N + 2 floats, keeping B on a 64-byte boundary

template <typename T>
T* zeroedAligned(std::size_t count) {
    void* p = kestrava::alignedAlloc(count * sizeof(T));
    if (p != nullptr) std::memset(p, 0, count * sizeof(T));
    return static_cast<T*>(p);
}

}  // namespace

BlackmanHarris::BlackmanHarris() {
    records = zeroedAligned<Record>(maxSize);
    interleaved = zeroedAligned<float>(2 * maxSize);
    float* split = zeroedAligned<float>(2 * splitStride);
    if (split != nullptr) {
        splitA = split;
        splitB = split + splitStride;
    }
    fftOrder = 0;  // so that the first setSize builds
    setSize(11);
}

BlackmanHarris::~BlackmanHarris() {
    kestrava::alignedFree(records);
    kestrava::alignedFree(interleaved);
    kestrava::alignedFree(splitA);
}

void BlackmanHarris::buildWindow(float* table, int m) noexcept {
    for (int i = 0; i < m; ++i) {
        const float x = (static_cast<float>(i) / static_cast<float>(m)) * 0.5f;
        const float c1 = std::cos(6.2831855f * x);
        const float c2 = std::cos(12.566371f * x);
        const float c3 = std::cos(18.849556f * x);
        table[i] = static_cast<float>(0.3635819 - 0.4891775 * static_cast<double>(c1) +
                                      0.1365995 * static_cast<double>(c2) - 0.0106411 * static_cast<double>(c3));
    }
}

bool BlackmanHarris::setSize(int order) {
    if (order < minOrder || order > maxOrder) return false;
    if (order == fftOrder) return true;
    const int n = 1 << order;
    const int m = (n / 2) >> windowShift;
    fftOrder = order;
    fftLength = n;
    fftMask = n - 1;
    halfLength = n / 2;
    halfMask = n / 2 - 1;
    windowLength = m;
    analysisLength = 2 * n;
    blockLength = 2 * (n - m);
    circularLength = blockLength + 2;
    circularSpan = blockLength + 1;
    analysisStep = blockLength - 2 * m;
    resetCounterA = resetCounterB = resetCounterC = 0;
    circularIndex = 0;
    auxWord = 0;
    buildWindow(windowTable, m);
    windowVersion = 0;
    return true;
}

void BlackmanHarris::reset() {
    Audio::reset();
    spectrumReady = false;
    recordsReady = false;
}

bool BlackmanHarris::apply() {
    if (!usable() || !kestrava::RealFft::hasPlan(fftOrder)) return false;
    const int n = fftLength;
    const int m = windowLength;
    for (int i = 0; i < m; ++i) {
        const float w = windowTable[i];
        const int j = n - 1 - i;
        interleaved[2 * i] = w * records[i].a;
        interleaved[2 * i + 1] = w * records[i].b;
        interleaved[2 * j] = w * records[j].a;
        interleaved[2 * j + 1] = w * records[j].b;
    }
    for (int i = m; i < n - m; ++i) {
        interleaved[2 * i] = records[i].a;
        interleaved[2 * i + 1] = records[i].b;
    }
    deinterleave(splitA, splitB, interleaved, n);
    if (!kestrava::RealFft::forward(fftOrder, splitA) || !kestrava::RealFft::forward(fftOrder, splitB)) return false;
    interleaveBins(splitA, splitB, records, n);
    spectrumReady = true;
    recordsReady = true;
    return true;
}

// Plain loops: the compiler vectorises them, and nothing in the signal chain waits on them.
void BlackmanHarris::deinterleave(float* a, float* b, const float* pairs, int count) noexcept {
    for (int i = 0; i < count; ++i) {
        a[i] = pairs[2 * i];
        b[i] = pairs[2 * i + 1];
    }
}

void BlackmanHarris::interleaveBins(const float* a, const float* b, Record* out, int count) noexcept {
    if (count < 0) return;
    for (int k = 0; k <= count / 2; ++k) out[k] = Record{a[2 * k], a[2 * k + 1], b[2 * k], b[2 * k + 1]};
}

}  // namespace kestrava::params
