#pragma once

#include <functional>
#include <string>

class KestravaInstanceConfig;

namespace kestrava::settings {
struct EncoderSettings;
}

namespace kestrava::model {

// "Password to hash": derives the stream key from the typed password, hands it to the engine,
// re-applies the settings (whether or not a key came out, so the protection switch is
// re-evaluated), and on success makes it the active key of the settings and clears the typed
// password. The new key must reach the settings file, so the change is marked pending.
// The rows and the apply step belong to the caller.
struct StreamPasswordAction {
    settings::EncoderSettings& settings;
    KestravaInstanceConfig& config;
    std::function<void()> applySettings;
    std::function<void(const std::string& key)> setActiveKeyRow;  // "Active hash"
    std::function<void()> clearPasswordRow;                        // "New password"
    std::function<void()> settingsPending;

    // Whether a key was derived.
    bool run();
};

}  // namespace kestrava::model
