#pragma once

#include <array>
#include <cstdint>

namespace kestrava::codec::entropy {

// Counting the magnitudes of a stream's values, the first step of both histogram headers. Two
// builds, the generic reference and an AVX2 one, chosen once; both give identical counts.
// A magnitude is |v| in two's complement taken unsigned (the most negative value is 2^31).
namespace MagnitudeCounts {

// bins[m] += number of values of magnitude m, for m < 16; larger magnitudes are not counted.
using Count16 = void (*)(const std::int32_t* values, std::uint32_t count, std::array<std::uint64_t, 16>& bins);
// counts[m] = number of values of magnitude m for m < 255; counts[255] = the rest (escapes).
using CountWide = void (*)(const std::int32_t* values, std::uint32_t count, std::array<std::uint32_t, 256>& counts);

struct Routines {
    Count16 count16;
    CountWide countWide;
};

// The reference routines.
void count16Generic(const std::int32_t* values, std::uint32_t count, std::array<std::uint64_t, 16>& bins);
void countWideGeneric(const std::int32_t* values, std::uint32_t count, std::array<std::uint32_t, 256>& counts);

#if defined(__x86_64__) || defined(__i386__)
void count16Avx2(const std::int32_t* values, std::uint32_t count, std::array<std::uint64_t, 16>& bins);
void countWideAvx2(const std::int32_t* values, std::uint32_t count, std::array<std::uint32_t, 256>& counts);
#endif

// The build chosen for this processor (and KESTRAVA_CPU), decided once.
const Routines& routines();

}  // namespace MagnitudeCounts

}  // namespace kestrava::codec::entropy
