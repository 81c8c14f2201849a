#include "model/StreamPasswordAction.h"

#include "logging/KestravaInstanceConfig.h"
#include "model/StreamKeyDerivation.h"
#include "settings/EncoderSettings.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace kestrava::model {

bool StreamPasswordAction::run() {
    const std::string_view typed(settings.newStreamPassword,
                                 ::strnlen(settings.newStreamPassword, sizeof settings.newStreamPassword));
    const auto key = StreamKeyDerivation::deriveForEngine(typed, config);
    if (applySettings) applySettings();
    if (!key) return false;
    const std::size_t n = std::min(key->size(), sizeof settings.activeStreamKeyHash - 1);
    std::memcpy(settings.activeStreamKeyHash, key->data(), n);
    settings.activeStreamKeyHash[n] = '\0';
    if (setActiveKeyRow) setActiveKeyRow(*key);
    std::memset(settings.newStreamPassword, 0, sizeof settings.newStreamPassword);
    if (clearPasswordRow) clearPasswordRow();
    if (settingsPending) settingsPending();
    return true;
}

}  // namespace kestrava::model
