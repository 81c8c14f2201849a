#pragma once

#include <cstdint>
#include <string>

namespace kestrava::audio::soundcard {

// One usable sound card of a list. The choice list files the entry under `name` (its key) and
// shows `displayName`.
struct SoundcardEntry {
    std::int32_t deviceIndex = -1;
    std::string displayName;  // "{} ({})": device name, host API name
    std::string name;         // "{} ({})": device name, host API name
};

}  // namespace kestrava::audio::soundcard
