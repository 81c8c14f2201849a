#pragma once

#include <optional>
#include <string>
#include <variant>

// The program's options. "--web-port N" and "--web-whitelist LIST" take the place of the
// "Web interface" dialog: they are applied the way its OK applies them, after start-up.
struct CommandLineOptions {
    std::optional<std::string> webPort;
    std::optional<std::string> webWhiteList;
    bool help = false;
};

// The options, or the text of what is wrong with them.
std::variant<CommandLineOptions, std::string> parseCommandLine(int argc, const char* const* argv);

// The usage text printed for --help and after an error.
const char* usageText();
