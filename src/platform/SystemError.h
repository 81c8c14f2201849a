#pragma once

#include <string>

namespace kestrava {

// The system's message text for an error number, without trailing line ends.
std::string systemErrorText(int code);

// The form users see: "{} ({})", the message text then the number.
std::string describeSystemError(int code);

}  // namespace kestrava
