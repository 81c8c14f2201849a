// kestrava-encoder: the stand-alone encoder.
#include "app/Application.h"
#include "app/CommandLineOptions.h"
#include "app/ConsoleSignals.h"

#include <sodium.h>

#include <cstdio>
#include <variant>

int main(int argc, char** argv) {
    const auto parsed = parseCommandLine(argc, argv);
    if (const auto* error = std::get_if<std::string>(&parsed)) {
        std::fprintf(stderr, "kestrava-encoder: %s\n%s", error->c_str(), usageText());
        return 2;
    }
    const auto& options = std::get<CommandLineOptions>(parsed);
    if (options.help) {
        std::fputs(usageText(), stdout);
        return 0;
    }
    if (sodium_init() < 0) {
        std::fputs("Failed to initialize sodium - cannot proceed!\n", stderr);
        return 1;
    }
    Application application(argc > 0 ? argv[0] : nullptr, options);
    // Before any other thread exists, so that every thread inherits the blocked signals; made
    // after the application, so that its thread has ended before the application goes away.
    ConsoleSignals signals;
    signals.start([&application](int signal) { application.onConsoleEvent(signal); });
    const int result = application.run();
    signals.stop();
    return result;
}
