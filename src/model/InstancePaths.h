#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

// Where an instance keeps its settings file and its log files, and the name it runs under.
// Every path is at most 511 characters (longer texts are cut).
struct InstancePaths {
    static constexpr std::size_t maxPath = 511;

    std::string settingsPath;        // the settings file of this instance
    std::string commonSettingsPath;  // machine-wide file that may redirect settingsPath
    std::string logFolder;           // the folder of the instance's log files
    std::string moduleFileName;      // the program's path as it was started
    std::string programName;         // names the files and chooses the sample-rate variant
    std::int32_t instanceIndex = 0;
};

// What the paths are made from; filled from the environment by instancePathSources().
struct InstancePathSources {
    std::string configHome;               // user settings folder; empty: the working folder
    std::string stateHome;                // user log folder; empty: the working folder
    std::string commonFolder = "/etc/xdg";  // machine-wide folder of the redirect file
    std::string executable;               // argv[0]
    std::int32_t instanceIndex = 0;
};

// ${XDG_CONFIG_HOME:-$HOME/.config} and ${XDG_STATE_HOME:-$HOME/.local/state}; empty texts when
// neither the variable nor HOME is set.
InstancePathSources instancePathSources(const char* argv0, std::int32_t instanceIndex);

// The program name: the base name of the path the program was started by (a symlink's name
// counts, a dot does not cut it); the standard names and an empty name give "Kestrava_Encoder".
std::string programNameOf(const std::string& executable);

// True for the 176.4 kHz variant: the name contains "176400" or "176.4".
bool isVariant176k(const std::string& programName);

// Builds the paths. readRedirect returns the content of the machine-wide file, or nothing when
// it cannot be read; only its first 520 bytes count.
InstancePaths buildInstancePaths(const InstancePathSources& sources,
                                 const std::function<std::optional<std::string>(const std::string&)>& readRedirect);

// From the environment and the file system: reads the redirect file and creates the
// per-instance folder of a later instance.
InstancePaths initDataFolders(const char* argv0, std::int32_t instanceIndex);
