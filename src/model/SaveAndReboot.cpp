#include "model/SaveAndReboot.h"

#include "logging/Logger.h"

#include <sys/wait.h>

#include <cstdlib>

namespace kestrava::model {

int SystemCommandRunner::run(const char* command) {
    const int status = std::system(command);
    if (status == -1) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool SaveAndReboot::run() {
    if (saveSettings && !saveSettings()) {
        if (logger != nullptr) {
            logger->log(1, KestravaLogger::Error,
                        std::string_view("Settings could not be saved; the machine is not restarted"));
        }
        return false;
    }
    const auto runLogged = [this](const char* command) {
        const int status = runner.run(command);
        if (status != 0 && logger != nullptr) {
            logger->log(1, KestravaLogger::Error, "Command \"{}\" failed ({})", command, status);
        }
        return status == 0;
    };
    // A failed flush is no reason to stay up: the settings file was written and synced itself.
    runLogged("sync");
    if (sleepMs) sleepMs(1000);
    if (!runLogged("sudo reboot")) return false;
    return true;
}

}  // namespace kestrava::model
