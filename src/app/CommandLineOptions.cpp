#include "app/CommandLineOptions.h"

#include <charconv>
#include <string_view>

namespace {

constexpr std::size_t whiteListMax = 1024;

std::optional<std::string> checkPort(std::string_view text) {
    int port = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), port);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || port < 1 || port > 65535) {
        return "--web-port needs a whole number from 1 to 65535, not \"" + std::string(text) + "\"";
    }
    return std::nullopt;
}

std::optional<std::string> checkWhiteList(std::string_view text) {
    if (text.size() > whiteListMax) return "--web-whitelist holds at most 1024 characters";
    for (char c : text) {
        if (static_cast<unsigned char>(c) < 0x20) return "--web-whitelist must not contain control characters";
    }
    return std::nullopt;
}

}  // namespace

std::variant<CommandLineOptions, std::string> parseCommandLine(int argc, const char* const* argv) {
    CommandLineOptions options;
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            options.help = true;
            continue;
        }
        std::string_view name = arg;
        std::optional<std::string_view> value;
        if (const auto eq = arg.find('='); arg.starts_with("--") && eq != std::string_view::npos) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
        }
        if (name != "--web-port" && name != "--web-whitelist" && name != "--fake-input" && name != "--initial-settings") {
            return "unknown option \"" + std::string(arg) + "\"";
        }
        if (!value) {
            if (i + 1 >= argc) return std::string(name) + " needs a value";
            value = argv[++i];
        }
        if (name == "--web-port") {
            if (auto error = checkPort(*value)) return *error;
            options.webPort = std::string(*value);
        } else if (name == "--initial-settings") {
            if (value->empty()) return "--initial-settings needs a file name";
            options.initialSettings = std::string(*value);
        } else if (name == "--fake-input") {
            if (value->empty()) return "--fake-input needs a file name";
            options.fakeInput = std::string(*value);
        } else {
            if (auto error = checkWhiteList(*value)) return *error;
            options.webWhiteList = std::string(*value);
        }
    }
    return options;
}

const char* usageText() {
    return "Usage: kestrava-encoder [--web-port N] [--web-whitelist LIST] [--fake-input FILE]\n"
           "                        [--initial-settings FILE]\n"
           "  --web-port N          port of the web interface (1 to 65535)\n"
           "  --web-whitelist LIST  addresses allowed to reach the web interface\n"
           "  --fake-input FILE     take the input from a fake sound card that plays FILE\n"
           "                        (float32 little-endian composite samples) in a loop;\n"
           "                        a regular file of at most 256 MiB\n"
           "  --initial-settings FILE  the settings of a first run: copied to the settings\n"
           "                        file when the instance has none yet\n"
           "Stop the encoder with Ctrl+C.\n";
}
