#pragma once

// The coders run with gradual underflow: subnormal results stay subnormal. A process may have
// set flush-to-zero (the encoder's main body does), so decoding clears it for its own duration.
#if defined(__x86_64__) || defined(__i386__)
#include <xmmintrin.h>
#endif

namespace streamdecoder {

class GradualUnderflow {
public:
#if defined(__x86_64__) || defined(__i386__)
    GradualUnderflow() : saved(_mm_getcsr()) { _mm_setcsr(saved & ~(flushToZero | denormalsAreZero)); }
    ~GradualUnderflow() { _mm_setcsr(saved); }
#else
    GradualUnderflow() = default;
#endif
    GradualUnderflow(const GradualUnderflow&) = delete;
    GradualUnderflow& operator=(const GradualUnderflow&) = delete;

private:
#if defined(__x86_64__) || defined(__i386__)
    static constexpr unsigned flushToZero = 0x8000, denormalsAreZero = 0x0040;
    unsigned saved;
#endif
};

}  // namespace streamdecoder
