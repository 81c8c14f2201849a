#pragma once

// Reading of the streams of codec versions 1 and up: the wide-histogram table header, the code
// rebuilt from the header and the bit rate alone, escapes and runs of zeros.
#include "LegacyStreams.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace streamdecoder {

// First magnitude and width of each bin of the wide histogram at a bit rate (kbit/s).
struct WideBin {
    int first, width;
};
std::vector<WideBin> wideBinLayout(std::int32_t rate);

// The codes of a header's scaled counts, symbol -> code as a string of 0 and 1, for checking.
std::map<std::int32_t, std::string> wideCodes(const std::vector<std::uint32_t>& binCounts, std::uint32_t escapeCount,
                                              std::int32_t rate);

// countBits is 4 from codec version 3 on, 3 below. Throws std::out_of_range on a stream that
// runs past `size` bytes or cannot be read.
DecodedStream decodeWideStream(const std::uint8_t* data, std::size_t size, std::size_t count, std::int32_t rate,
                               int countBits, int escapeBits);

}  // namespace streamdecoder
