#include "params/MeterTagList.h"

#include "platform/ErrorState.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace kestrava::params {

void MeterTagList::report(std::string_view tag, int id) {
    std::string error;
    {
        std::lock_guard lock(mutex);
        tags += std::string(tag) + std::to_string(id) + " ";
        if (tags.size() > maxChars) tags.resize(maxChars);
        error = std::string(errorPrefix) + tags;
    }
    if (error.size() > maxErrorChars) error.resize(maxErrorChars);
    ErrorState::record(ErrorState::SawNan, error);
}

std::string MeterTagList::text() const {
    std::lock_guard lock(mutex);
    return tags;
}

bool passesMeterGuard(float& v) noexcept {
    if (!(v > -4e11f && v < 4e11f)) return false;
    v = std::max(v, -3.9e11f);
    return true;
}

std::uint16_t meterLevelWord(float x) noexcept {
    if (x < 0.0f) return 0xFFFF;
    if (!(x >= 0.0f)) return 0;
    return static_cast<std::uint16_t>(std::min(x, 1.0f) * 16384.0f + 0.5f);
}

float meterDecibels(float v, float scale) noexcept {
    return 1.0f + 20.0f * scale * std::log(std::max(v, 1e-11f));
}

}  // namespace kestrava::params
