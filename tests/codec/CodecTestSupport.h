#pragma once

#include <bit>
#include <cstdint>
#include <random>

namespace codec_test {

inline std::uint64_t bits(double v) { return std::bit_cast<std::uint64_t>(v); }
inline std::uint32_t bits(float v) { return std::bit_cast<std::uint32_t>(v); }
inline double fromBits(std::uint64_t b) { return std::bit_cast<double>(b); }
inline float fromBits(std::uint32_t b) { return std::bit_cast<float>(b); }

// Fixed seed; the failure message of a randomised test prints it.
constexpr std::uint32_t seed = 20261210;

}  // namespace codec_test
