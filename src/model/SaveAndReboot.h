#pragma once

#include <functional>

namespace KestravaLogger {
class Logger;
}

namespace kestrava::model {

// Runs a shell command and returns its exit status (-1 when it could not be started).
class CommandRunner {
public:
    virtual ~CommandRunner() = default;
    virtual int run(const char* command) = 0;
};

// The real one, through the C runtime.
class SystemCommandRunner final : public CommandRunner {
public:
    int run(const char* command) override;
};

// Writes the whole settings file at once, flushes the file systems and restarts the machine:
// "sync", 1000 ms, "sudo reboot". A failed save stops it before anything else runs (restarting
// would lose the unsaved settings); a failed command is logged and the program carries on.
// Returns whether the restart command was accepted.
struct SaveAndReboot {
    std::function<bool()> saveSettings;      // true when the file is on disk
    CommandRunner& runner;
    std::function<void(int ms)> sleepMs;
    KestravaLogger::Logger* logger = nullptr;

    bool run();
};

}  // namespace kestrava::model
