#include "platform/SystemError.h"

#include <fmt/format.h>

#include <cstring>

namespace kestrava {

std::string systemErrorText(int code) {
    char buffer[256];
    // GNU strerror_r returns the text, which may or may not live in the buffer.
    const char* text = strerror_r(code, buffer, sizeof buffer);
    std::string result = text != nullptr ? text : "";
    while (!result.empty() && (result.back() == '\n' || result.back() == '\r')) result.pop_back();
    return result;
}

std::string describeSystemError(int code) { return fmt::format("{} ({})", systemErrorText(code), code); }

}  // namespace kestrava
