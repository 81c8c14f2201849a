#include "platform/ErrorState.h"

#include <algorithm>
#include <cstring>

namespace ErrorState {

std::atomic<std::int32_t> errorState{Normal};
std::atomic<bool> crashFlag{false};
char errorText[textSize] = {};

void reset() {
    errorState = Normal;
    crashFlag = false;
    std::memset(errorText, 0, sizeof errorText);
}

void markCrashed() {
    errorState = Crashed;
    crashFlag = true;
}

void record(std::int32_t state, std::string_view text) {
    const std::size_t n = std::min(text.size(), textSize - 1);
    std::memcpy(errorText, text.data(), n);
    std::memset(errorText + n, 0, textSize - n);
    if (state == Crashed) {
        markCrashed();
    } else {
        errorState = state;
    }
}

}  // namespace ErrorState
