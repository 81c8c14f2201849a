#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

namespace kestrava::web {

// The body of an "/update" request: groups, each ended by '/', of numbers separated by ','.
// The first number of a group is hexadecimal (0-9 and capital A-F), the others decimal; a '-'
// makes the digits after it count negatively; the arithmetic wraps modulo 2^32. A group holds
// at most 2048 numbers, and a group without its closing '/' is dropped. Any other character
// (white space and '%' escapes included) is a bad character: it is skipped and counted.
//
//   "1A,5/2001A/"  ->  group {0x1A, 5}, group {0x2001A}
//
// A pure reader over a span of bytes: nothing is allocated, reading stops at the end of the span
// or at a zero byte.
class UpdateBody {
public:
    static constexpr int maxNumbers = 2048;

    struct Result {
        std::size_t groups = 0;
        std::size_t badCharacters = 0;
        std::size_t firstBad = 0;  // offset in the body of the first bad character
    };

    using GroupHandler = std::function<void(std::span<const std::int32_t>)>;

    // Hands every complete group to `onGroup`, numbers[0] being the group's hexadecimal number.
    Result read(std::string_view body, const GroupHandler& onGroup);

    // The body of a request path: after the first '/' behind the 7 characters of "/update";
    // empty when there is none.
    static std::string_view bodyOf(std::string_view path);
    // The one diagnostic line for a body with bad characters: a short, printable excerpt from the
    // first bad character on, and their count.
    static std::string diagnostic(std::string_view body, const Result& result);

private:
    std::array<std::uint32_t, maxNumbers> numbers{};
};

}  // namespace kestrava::web
