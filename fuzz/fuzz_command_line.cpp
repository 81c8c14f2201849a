// The program's options come from whoever starts it (service files, scripts): any argument
// vector must give options or a message, never a crash.
#include "app/CommandLineOptions.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Arguments are the input split at NUL bytes.
    std::vector<std::string> args{"kestrava-encoder"};
    std::string current;
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            args.push_back(current);
            current.clear();
        } else {
            current.push_back(static_cast<char>(data[i]));
        }
    }
    if (!current.empty()) args.push_back(current);
    std::vector<const char*> argv;
    for (const auto& a : args) argv.push_back(a.c_str());
    (void)parseCommandLine(static_cast<int>(argv.size()), argv.data());
    return 0;
}
