#include "model/InstancePaths.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace {

constexpr const char* standardProgramName = "Kestrava_Encoder";
constexpr const char* standardFileNames[] = {"kestrava-encoder", "kestrava_encoder"};
constexpr std::size_t redirectReadLimit = 520;
constexpr std::string_view redirectKey = "UserPath=";

void appendCut(std::string& path, std::string_view text) {
    if (path.size() >= InstancePaths::maxPath) return;
    path.append(text.substr(0, InstancePaths::maxPath - path.size()));
}

// The instance suffix and the extension; `ext` is ".ini" or ".log".
void appendInstanceSuffix(std::string& path, std::int32_t index, bool perInstanceFolder, std::string_view ext) {
    if (index > 0 && perInstanceFolder) {
        char number[16];
        std::snprintf(number, sizeof number, "%03d", index + 1);
        appendCut(path, ".instances");
        appendCut(path, "/instance_");
        appendCut(path, number);
    }
    appendCut(path, ext);
}

std::string folderPrefix(const std::string& folder) { return folder.empty() ? std::string() : folder + "/"; }

std::string fromEnvironment(const char* variable, const char* homeTail) {
    if (const char* v = std::getenv(variable); v != nullptr && *v != '\0') return v;
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return std::string(home) + homeTail;
    return {};
}

}  // namespace

InstancePathSources instancePathSources(const char* argv0, std::int32_t instanceIndex) {
    InstancePathSources s;
    s.configHome = fromEnvironment("XDG_CONFIG_HOME", "/.config");
    s.stateHome = fromEnvironment("XDG_STATE_HOME", "/.local/state");
    s.executable = argv0 != nullptr ? argv0 : "";
    s.instanceIndex = instanceIndex;
    return s;
}

std::string programNameOf(const std::string& executable) {
    const auto slash = executable.find_last_of('/');
    std::string name = slash == std::string::npos ? executable : executable.substr(slash + 1);
    if (name.empty()) return standardProgramName;
    for (const char* standard : standardFileNames) {
        if (name == standard) return standardProgramName;
    }
    return name.substr(0, 260);
}

bool isVariant176k(const std::string& programName) {
    return programName.find("176400") != std::string::npos || programName.find("176.4") != std::string::npos;
}

InstancePaths buildInstancePaths(const InstancePathSources& sources,
                                 const std::function<std::optional<std::string>(const std::string&)>& readRedirect) {
    InstancePaths p;
    p.instanceIndex = sources.instanceIndex;
    p.moduleFileName = sources.executable.substr(0, 260);
    p.programName = programNameOf(sources.executable);

    appendCut(p.settingsPath, folderPrefix(sources.configHome));
    appendCut(p.settingsPath, p.programName);
    appendInstanceSuffix(p.settingsPath, p.instanceIndex, true, ".ini");

    appendCut(p.commonSettingsPath, folderPrefix(sources.commonFolder));
    appendCut(p.commonSettingsPath, p.programName);
    appendInstanceSuffix(p.commonSettingsPath, p.instanceIndex, false, ".ini");

    appendCut(p.logFolder, folderPrefix(sources.stateHome));
    appendCut(p.logFolder, p.programName);
    appendInstanceSuffix(p.logFolder, p.instanceIndex, true, ".log");

    const std::optional<std::string> content = readRedirect ? readRedirect(p.commonSettingsPath) : std::nullopt;
    if (!content) return p;
    std::string text = content->substr(0, redirectReadLimit);
    while (!text.empty() && static_cast<unsigned char>(text.back()) < 0x20) text.pop_back();
    if (text.size() <= 10 || text.compare(0, redirectKey.size(), redirectKey) != 0) return p;
    const std::string target = text.substr(redirectKey.size(), InstancePaths::maxPath);
    if (target == p.settingsPath.substr(0, InstancePaths::maxPath)) return p;

    p.settingsPath = target;
    if (p.settingsPath.size() > 4 && p.settingsPath.ends_with(".ini")) {
        p.settingsPath.resize(p.settingsPath.size() - 4);
        appendInstanceSuffix(p.settingsPath, p.instanceIndex, true, ".ini");
    }
    // A redirected instance keeps its logs beside its settings: the last three characters
    // become "log".
    p.logFolder = p.settingsPath;
    if (p.logFolder.size() >= 3) p.logFolder.replace(p.logFolder.size() - 3, 3, "log");
    return p;
}

InstancePaths initDataFolders(const char* argv0, std::int32_t instanceIndex) {
    const InstancePathSources sources = instancePathSources(argv0, instanceIndex);
    InstancePaths p = buildInstancePaths(sources, [](const std::string& path) -> std::optional<std::string> {
        std::ifstream in(path, std::ios::binary);
        if (!in) return std::nullopt;
        std::string content(redirectReadLimit, '\0');
        in.read(content.data(), static_cast<std::streamsize>(content.size()));
        content.resize(static_cast<std::size_t>(in.gcount()));
        return content;
    });
    // The folder of the settings file (for a later instance its per-instance folder); a failure
    // shows when the settings are saved.
    std::error_code ec;
    const auto folder = std::filesystem::path(p.settingsPath).parent_path();
    if (!folder.empty()) std::filesystem::create_directories(folder, ec);
    return p;
}
