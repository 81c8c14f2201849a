#include "model/StreamKeyRows.h"

#include "model/StreamPasswordAction.h"
#include "params/PString.h"
#include "settings/EncoderSettings.h"
#include "settings/TreeSources.h"

#include <algorithm>
#include <cstring>

namespace kestrava::model {

StreamKeyRows::StreamKeyRows(params::ParamTable& table_, settings::EncoderSettings& settings_,
                             KestravaInstanceConfig& config_)
    : table(table_), settings(settings_), config(config_),
      action(params::ButtonFunction::withoutArgument([this] { hashPassword(); })) {}

void StreamKeyRows::fillSources(settings::TreeSources& sources) const { sources.hashStreamPassword = &action; }

bool StreamKeyRows::hashPassword() {
    auto* passwordRow = dynamic_cast<params::PString*>(table.findParam(NOSAVEPARAM_KVRA_Password));
    auto* keyRow = dynamic_cast<params::PString*>(table.findParam(PARAM_KVRA_Key));
    if (passwordRow != nullptr) {
        const std::string typed = passwordRow->current();
        const std::size_t n = std::min(typed.size(), sizeof settings.newStreamPassword - 1);
        std::memcpy(settings.newStreamPassword, typed.data(), n);
        settings.newStreamPassword[n] = '\0';
    }
    StreamPasswordAction run{
        settings,
        config,
        applySettings,
        [keyRow](const std::string& key) {
            if (keyRow != nullptr) keyRow->setValue(key);
        },
        [passwordRow] {
            if (passwordRow != nullptr) passwordRow->setValue("");
        },
        onSettingsPending,
    };
    return run.run();
}

}  // namespace kestrava::model
