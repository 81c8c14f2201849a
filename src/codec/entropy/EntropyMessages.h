#pragma once

#include <cstdint>
#include <string_view>

class KestravaInstanceConfig;

namespace kestrava::codec::entropy {

// The entropy coder's messages. The configuration may be missing (tools, benchmarks): then
// nothing is reported.
namespace EntropyMessages {

inline constexpr std::string_view listFull = "SortedList exceeded capacity";
inline constexpr std::string_view turnover = "Histogram size exceeded turnover point";
inline constexpr std::string_view legacyHistogramFailed = "Failed to write histogram, discarding data blok";
inline constexpr std::string_view auxHistogramFailed = "Failed to write histogram, discarding data block";
inline constexpr std::string_view symbolFailed = "Failed to encode symbol";
inline constexpr std::string_view bitstreamError = "Bitstream error - decoding failed. Check the log for details";

// Logs a plain text at level 4 (error).
void logError(KestravaInstanceConfig* config, std::string_view text);
// Posts the bit-stream error status message (type 2).
void postBitstreamError(KestravaInstanceConfig* config);
// "Huff resulted in too many bytes, {} / {}" at level 4.
void logTooManyBytes(KestravaInstanceConfig* config, std::uint32_t bytes, std::uint32_t capacity);

}  // namespace EntropyMessages

}  // namespace kestrava::codec::entropy
