#pragma once

#include "audio/Audio.h"

#include <cstdint>

namespace kestrava::params {

// The windowed-FFT analyser of the displays: the rising half of a four-term cosine window for a
// chosen FFT order (orders 1 to 13: N up to 8192), and a two-channel forward transform in place.
// The spectrum display windows its own buffer with window() and transforms it through RealFft.
//
// The window of 2m points is symmetric: a frame is weighted by w[i] at positions i and N-1-i,
// with m = (N/2) >> windowShift entries in the table (the window spans the whole frame).
class BlackmanHarris : public kestrava::audio::Audio {
public:
    static constexpr int minOrder = 1;
    static constexpr int maxOrder = 13;
    static constexpr int maxSize = 1 << maxOrder;
    static constexpr int windowCapacity = 4128;

    // One input and output record of apply(): (channel A, -, channel B, -) samples going in,
    // (re A, im A, re B, im B) of a bin coming out.
    struct Record {
        float a, aIm, b, bIm;
    };

    // Order 11 (N 2048, m 1024) with its table built. usable() is false when a buffer could not
    // be allocated; such an analyser refuses every transform.
    BlackmanHarris();
    ~BlackmanHarris() override;

    bool usable() const noexcept { return records != nullptr && interleaved != nullptr && splitA != nullptr; }

    // Moves to another order and rebuilds the table; the same order again does nothing. An order
    // outside 1..13 is refused (false), leaving the analyser as it was.
    bool setSize(int order);
    int order() const noexcept { return fftOrder; }
    int size() const noexcept { return fftLength; }
    int tableLength() const noexcept { return windowLength; }
    const float* window() const noexcept { return windowTable; }

    // Windows the first N records' channels A and B and replaces records 0..N/2 with their bins.
    // False (nothing changed) for an unusable analyser or an order without FFT plans.
    bool apply();
    void writeCircular() override { apply(); }
    void reset() override;

    Record* recordBuffer() noexcept { return records; }
    bool spectrumReady = false;
    bool recordsReady = false;
    std::int32_t windowVersion = 0;
    const std::int32_t windowShift = 0;

    // A[i] := pairs[2i], B[i] := pairs[2i+1] for i < count.
    static void deinterleave(float* a, float* b, const float* pairs, int count) noexcept;
    // record k := (A[2k], A[2k+1], B[2k], B[2k+1]) for k = 0 .. count/2: exactly count/2 + 1 records.
    static void interleaveBins(const float* a, const float* b, Record* out, int count) noexcept;
    // The m-entry table: x = (i/m) / 2 and the cosines in single precision, the sum in double.
    static void buildWindow(float* table, int m) noexcept;

private:
    Record* records = nullptr;
    float* interleaved = nullptr;  // N pairs
    float* splitA = nullptr;       // N + 2 floats each, for the in-place transforms
    float* splitB = nullptr;
    float windowTable[windowCapacity] = {};
};

}  // namespace kestrava::params
