#pragma once

#include "model/StatusList.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

class Model;
struct InstancePaths;

// The settings store of an instance. So far it holds the settings that the shell itself needs,
// the web port ("WebPort") and the address white list ("WebWhite"), and the status display; the
// settings file is neither read nor written yet, so every setting keeps its default.
class ParSet {
public:
    explicit ParSet(Model& model);
    ~ParSet();
    ParSet(const ParSet&) = delete;
    ParSet& operator=(const ParSet&) = delete;

    // The values as the settings file stores them.
    std::string webPortSaveText() const;
    std::string webWhiteSaveText() const;
    // Set from a settings-file text, as a loaded file sets them; a text the setting does not
    // accept changes nothing and returns the reason.
    bool setWebPortFromSaveText(std::string_view text, std::string& error);
    bool setWebWhiteFromSaveText(std::string_view text, std::string& error);

    StatusDisplay& statusDisplay() { return errors; }

    void loadSettingsFile(const InstancePaths& paths);
    void saveSettingsFile(const InstancePaths& paths);
    // Copies the values into the live settings of the instance (web port and white list).
    void storeParamsToSettings();
    void refreshEnabledStates();

    Model& model;

private:
    mutable std::mutex settingsMutex;
    std::int32_t webPort = 8080;
    std::string webWhite = "/0";
    StatusList errors;
};
