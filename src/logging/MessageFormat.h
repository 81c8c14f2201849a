#pragma once

#include "platform/Clock.h"

#include <fmt/format.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

// Formatting into fixed buffers, cut at the buffer's end, for log and status texts.

struct FormatResult {
    char* end;          // after the last character written
    std::size_t count;  // characters of the complete text, which may exceed the buffer
};

// Formats into at most `size` characters without a terminating NUL.
template <class... Args>
FormatResult formatToBuffer(char* buffer, std::size_t size, fmt::format_string<Args...> format, const Args&... args) {
    // The format was checked at compile time; hand it on as a view so that the argument
    // types need not match a second time.
    const auto result = fmt::vformat_to_n(buffer, size, fmt::string_view(format), fmt::make_format_args(args...));
    return {result.out, result.size};
}

// Status texts are at most 1023 characters and a NUL.
inline constexpr std::size_t statusTextSize = 1024;

// Writes the local-time prefix "{:d}/{:02d}/{:02d} {:02d}:{:02d}:{:02d} " of the given moment
// (100 ns units since 1970) and returns its length.
std::size_t formatTimePrefix(char* buffer, std::size_t size, std::int64_t now100ns);

// Closes a timed text of complete length n (prefix and message): a newline at min(n, 1022) and
// a NUL at min(n + 1, 1023). Returns n.
std::size_t finishTimedMessage(char (&buffer)[statusTextSize], std::size_t n);

// The local-time prefix of `now`, then the message, a newline and a NUL. Returns the count of
// characters of prefix and message before cutting (it may exceed 1024).
template <class... Args>
std::size_t formatTimedMessageAt(char (&buffer)[statusTextSize], std::int64_t now100ns,
                                 fmt::format_string<Args...> format, const Args&... args) {
    const std::size_t p = formatTimePrefix(buffer, statusTextSize, now100ns);
    const std::size_t m = formatToBuffer(buffer + p, statusTextSize - p, format, args...).count;
    return finishTimedMessage(buffer, p + m);
}

template <class... Args>
std::size_t formatTimedMessage(char (&buffer)[statusTextSize], fmt::format_string<Args...> format,
                               const Args&... args) {
    return formatTimedMessageAt(buffer, kestrava::systemNow100ns(), format, args...);
}

// The plain-text form: the text stands as it is (braces in it are not placeholders).
std::size_t formatTimedTextAt(char (&buffer)[statusTextSize], std::int64_t now100ns, std::string_view text);
