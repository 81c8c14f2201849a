#include "model/InstancePaths.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

struct PathCase {
    const char* name;
    std::string executable;
    int index;
    std::optional<std::string> redirect;  // content of /etc/xdg/<program>.ini
    std::string programName;
    std::string settingsPath;
    std::string logFolder;
    std::string commonSettingsPath;
};

TEST(InstancePaths, FollowTheProgramNameTheInstanceAndTheRedirectFile) {
    const std::string cfg = "/home/op/.config/";
    const std::string st = "/home/op/.local/state/";
    const PathCase cases[] = {
        {"standard name", "/usr/bin/kestrava-encoder", 0, std::nullopt, "Kestrava_Encoder",
         cfg + "Kestrava_Encoder.ini", st + "Kestrava_Encoder.log", "/etc/xdg/Kestrava_Encoder.ini"},
        {"second instance", "kestrava_encoder", 1, std::nullopt, "Kestrava_Encoder",
         cfg + "Kestrava_Encoder.instances/instance_002.ini", st + "Kestrava_Encoder.instances/instance_002.log",
         "/etc/xdg/Kestrava_Encoder.ini"},
        {"a dot does not cut the name", "./enc_176.4k", 0, std::nullopt, "enc_176.4k", cfg + "enc_176.4k.ini",
         st + "enc_176.4k.log", "/etc/xdg/enc_176.4k.ini"},
        {"dot in a folder name", "/opt/my.tools/encoder", 0, std::nullopt, "encoder", cfg + "encoder.ini",
         st + "encoder.log", "/etc/xdg/encoder.ini"},
        {"no name", "", 0, std::nullopt, "Kestrava_Encoder", cfg + "Kestrava_Encoder.ini",
         st + "Kestrava_Encoder.log", "/etc/xdg/Kestrava_Encoder.ini"},
        {"redirect with a line end", "kestrava-encoder", 0, "UserPath=/srv/cfg/main.ini\r\n", "Kestrava_Encoder",
         "/srv/cfg/main.ini", "/srv/cfg/main.log", "/etc/xdg/Kestrava_Encoder.ini"},
        {"redirect of a later instance", "kestrava-encoder", 1, "UserPath=/srv/cfg/main.ini", "Kestrava_Encoder",
         "/srv/cfg/main.instances/instance_002.ini", "/srv/cfg/main.instances/instance_002.log",
         "/etc/xdg/Kestrava_Encoder.ini"},
        {"redirect without .ini", "kestrava-encoder", 0, "UserPath=/srv/cfg/settings.txt", "Kestrava_Encoder",
         "/srv/cfg/settings.txt", "/srv/cfg/settings.log", "/etc/xdg/Kestrava_Encoder.ini"},
        {"redirect too short", "kestrava-encoder", 0, "UserPath=X", "Kestrava_Encoder", cfg + "Kestrava_Encoder.ini",
         st + "Kestrava_Encoder.log", "/etc/xdg/Kestrava_Encoder.ini"},
        {"redirect to the same path", "kestrava-encoder", 0, "UserPath=" + cfg + "Kestrava_Encoder.ini",
         "Kestrava_Encoder", cfg + "Kestrava_Encoder.ini", st + "Kestrava_Encoder.log",
         "/etc/xdg/Kestrava_Encoder.ini"},
        {"not a redirect", "kestrava-encoder", 0, "[General]\nWebPort=8080\n", "Kestrava_Encoder",
         cfg + "Kestrava_Encoder.ini", st + "Kestrava_Encoder.log", "/etc/xdg/Kestrava_Encoder.ini"},
    };
    for (const PathCase& c : cases) {
        SCOPED_TRACE(c.name);
        InstancePathSources sources;
        sources.configHome = "/home/op/.config";
        sources.stateHome = "/home/op/.local/state";
        sources.executable = c.executable;
        sources.instanceIndex = c.index;
        std::string asked;
        const InstancePaths p = buildInstancePaths(sources, [&](const std::string& path) {
            asked = path;
            return c.redirect;
        });
        EXPECT_EQ(p.programName, c.programName);
        EXPECT_EQ(p.settingsPath, c.settingsPath);
        EXPECT_EQ(p.logFolder, c.logFolder);
        EXPECT_EQ(p.commonSettingsPath, c.commonSettingsPath);
        EXPECT_EQ(asked, c.commonSettingsPath);
    }
}

TEST(InstancePaths, WithoutAnyHomeThePathsAreInTheWorkingFolder) {
    InstancePathSources sources;
    sources.executable = "kestrava-encoder";
    const InstancePaths p = buildInstancePaths(sources, {});
    EXPECT_EQ(p.settingsPath, "Kestrava_Encoder.ini");
    EXPECT_EQ(p.logFolder, "Kestrava_Encoder.log");
}

TEST(InstancePaths, LongPathsAreCutAt511Characters) {
    InstancePathSources sources;
    sources.configHome = "/" + std::string(600, 'c');
    sources.stateHome = "/s";
    sources.executable = "kestrava-encoder";
    const InstancePaths p = buildInstancePaths(sources, [](const std::string&) {
        return std::optional<std::string>("UserPath=/" + std::string(700, 'r'));
    });
    EXPECT_EQ(p.settingsPath.size(), InstancePaths::maxPath);
    EXPECT_LE(p.logFolder.size(), InstancePaths::maxPath);
}

TEST(InstancePaths, TheNameChoosesThe176kVariant) {
    const struct {
        const char* name;
        bool variant;
    } cases[] = {{"encoder_176.4k", true}, {"x176400y", true}, {"encoder_176k", false}, {"Kestrava_Encoder", false},
                 {"enc_17.64", false}};
    for (const auto& c : cases) EXPECT_EQ(isVariant176k(c.name), c.variant) << c.name;
}

}  // namespace
