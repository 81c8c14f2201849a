#pragma once

// Reading of the version-0 streams: the 16-count histogram header, the code built from it, the
// escapes with their raw magnitudes, and the run codes of the third-channel stream.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace streamdecoder {

struct DecodedStream {
    std::vector<std::int32_t> values;
    std::size_t bytes = 0;  // length of the stream; the next one begins behind it
};

// r: largest magnitude with a code of its own; escapeWidth: raw bits after an escape.
// Throws std::out_of_range when the stream runs past `size` bytes.
DecodedStream decodeLegacyStream(const std::uint8_t* data, std::size_t size, std::size_t count, int r,
                                 int escapeWidth, bool thirdChannel);

// The code the header describes, as (symbol, code, length) in symbol order, for checking.
struct LegacyCode {
    std::int32_t symbol;
    std::uint64_t code;
    int length;
};
std::vector<LegacyCode> legacyCodes(const std::vector<int>& counts, int r);

}  // namespace streamdecoder
