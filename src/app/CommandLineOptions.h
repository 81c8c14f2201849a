#pragma once

#include <optional>
#include <string>
#include <variant>

// The program's options. "--web-port N" and "--web-whitelist LIST" take the place of the
// "Web interface" dialog: they are applied the way its OK applies them, after start-up.
// "--fake-input FILE" runs the encoder from the fake sound card (for trying it without one);
// "--initial-settings FILE" gives a first run its settings.
struct CommandLineOptions {
    std::optional<std::string> webPort;
    std::optional<std::string> webWhiteList;
    // A file of float32 little-endian composite samples that the fake sound card plays in a
    // loop, in place of the audio library's sound cards.
    std::optional<std::string> fakeInput;
    // A settings file the instance starts from when it has none yet (first run only): it is
    // copied to the instance's settings file, which from then on is the one that counts.
    std::optional<std::string> initialSettings;
    bool help = false;
};

// The options, or the text of what is wrong with them.
std::variant<CommandLineOptions, std::string> parseCommandLine(int argc, const char* const* argv);

// The usage text printed for --help and after an error.
const char* usageText();
