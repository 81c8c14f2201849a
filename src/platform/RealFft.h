#pragma once

#include <cstddef>

namespace kestrava {

// Real-input FFTs of 2^order points (order 1..16) in the CCS layout: a spectrum of N real samples
// is N/2+1 complex bins as N+2 interleaved floats (element 2k the real, 2k+1 the imaginary part
// of bin k). The forward transform is unscaled; the inverse divides by N, so the inverse of the
// forward transform gives the input back.
//
// Plans are made once per process, under one mutex, with estimated (deterministic) algorithms;
// executing them is thread-safe, each caller using its own buffer.
class RealFft {
public:
    static constexpr int minOrder = 1;
    static constexpr int maxOrder = 16;
    static constexpr std::size_t bufferAlignment = 64;

    // Makes the plans of every order unless that was done before. Returns true when every order
    // has its plans; an order whose plans could not be made stays without them.
    static bool prepare();
    static bool hasPlan(int order);

    // Both work in place on `data`, which starts on a 64-byte boundary and holds at least
    // 2^order + 2 floats. They return false, leaving the buffer untouched, for an order without
    // plans or a misaligned buffer.
    // forward: reads elements 0..N-1, writes the spectrum to 0..N+1 (elements 1 and N+1 are 0).
    static bool forward(int order, float* data) noexcept;
    // inverse: reads the spectrum (elements 1 and N+1 are taken as 0 and zeroed), writes the
    // samples divided by N to 0..N-1; elements N and N+1 are left undefined.
    static bool inverse(int order, float* data) noexcept;

    // Test seam: makes an order look as if its plans had failed (or restores it).
    static void withholdPlanForTesting(int order, bool withheld);
};

}  // namespace kestrava
