#pragma once

#include "params/ButtonFunction.h"
#include "params/ParamTable.h"

#include <functional>

class KestravaInstanceConfig;

namespace kestrava::settings {
struct EncoderSettings;
struct TreeSources;
}  // namespace kestrava::settings

namespace kestrava::model {

// "Password to hash" tied to the stream security rows: the typed password comes from the
// "New password" row, the derived key goes into the "Active hash" row (saved as "Stream hash
// key") and the live settings, and the typed password is cleared from the row.
class StreamKeyRows {
public:
    StreamKeyRows(params::ParamTable& table, settings::EncoderSettings& settings, KestravaInstanceConfig& config);
    StreamKeyRows(const StreamKeyRows&) = delete;
    StreamKeyRows& operator=(const StreamKeyRows&) = delete;

    // The button action, for the declaration; it must outlive the rows.
    void fillSources(settings::TreeSources& sources) const;
    // Whether a key was derived.
    bool hashPassword();

    // The controller's apply (the engine takes the new key) and the autosave's wake-up.
    std::function<void()> applySettings;
    std::function<void()> onSettingsPending;

private:
    params::ParamTable& table;
    settings::EncoderSettings& settings;
    KestravaInstanceConfig& config;
    params::ButtonFunction action;
};

}  // namespace kestrava::model
