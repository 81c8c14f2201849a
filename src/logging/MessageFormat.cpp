#include "logging/MessageFormat.h"

#include <cstring>

std::size_t formatTimePrefix(char* buffer, std::size_t size, std::int64_t now100ns) {
    const kestrava::LocalTime t = kestrava::toLocalTime(now100ns / kestrava::ticksPerSecond);
    const FormatResult r = formatToBuffer(buffer, size, "{:d}/{:02d}/{:02d} {:02d}:{:02d}:{:02d} ", t.year, t.month,
                                          t.day, t.hour, t.minute, t.second);
    return std::min(r.count, size);
}

std::size_t finishTimedMessage(char (&buffer)[statusTextSize], std::size_t n) {
    buffer[std::min(n, statusTextSize - 2)] = '\n';
    buffer[std::min(n + 1, statusTextSize - 1)] = '\0';
    return n;
}

std::size_t formatTimedTextAt(char (&buffer)[statusTextSize], std::int64_t now100ns, std::string_view text) {
    const std::size_t p = formatTimePrefix(buffer, statusTextSize, now100ns);
    std::memcpy(buffer + p, text.data(), std::min(text.size(), statusTextSize - p));
    return finishTimedMessage(buffer, p + text.size());
}
