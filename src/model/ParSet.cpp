#include "model/ParSet.h"

#include "model/CommonBase.h"
#include "model/Model.h"

#include <charconv>

namespace {
constexpr std::int32_t webPortMin = 1;
constexpr std::int32_t webPortMax = 65535;
constexpr std::size_t whiteListMax = 1024;
}  // namespace

ParSet::ParSet(Model& model_) : model(model_) {}

ParSet::~ParSet() = default;

std::string ParSet::webPortSaveText() const {
    std::lock_guard lock(settingsMutex);
    return std::to_string(webPort);
}

std::string ParSet::webWhiteSaveText() const {
    std::lock_guard lock(settingsMutex);
    return webWhite;
}

bool ParSet::setWebPortFromSaveText(std::string_view text, std::string& error) {
    std::int32_t port = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), port);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || port < webPortMin ||
        port > webPortMax) {
        error = "the web port must be a whole number from 1 to 65535, not \"" + std::string(text) + "\"";
        return false;
    }
    {
        std::lock_guard lock(settingsMutex);
        webPort = port;
    }
    model.markChanged();
    return true;
}

bool ParSet::setWebWhiteFromSaveText(std::string_view text, std::string& error) {
    if (text.size() > whiteListMax) {
        error = "the white list holds at most 1024 characters";
        return false;
    }
    for (char c : text) {
        if (static_cast<unsigned char>(c) < 0x20) {
            error = "the white list must not contain control characters";
            return false;
        }
    }
    {
        std::lock_guard lock(settingsMutex);
        webWhite = std::string(text);
    }
    model.markChanged();
    return true;
}

void ParSet::loadSettingsFile(const InstancePaths&) {}

void ParSet::saveSettingsFile(const InstancePaths&) {
    model.autosaveEvent.set();
    model.settingsChanged = false;
}

void ParSet::storeParamsToSettings() {
    CommonBase* common = model.modelCommon;
    if (common == nullptr) return;
    std::lock_guard lock(settingsMutex);
    common->webPort = webPort;
    common->webWhiteList = webWhite;
}

void ParSet::refreshEnabledStates() {}
