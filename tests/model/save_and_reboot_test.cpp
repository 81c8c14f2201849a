#include "audio/soundcard/LogCapture.h"
#include "logging/Logger.h"
#include "model/SaveAndReboot.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

using kestrava::model::CommandRunner;
using kestrava::model::SaveAndReboot;

// Records every step in order; commands exit with the status the test gives them.
struct Steps : CommandRunner {
    int run(const char* command) override {
        log.push_back(command);
        const auto it = status.find(command);
        return it == status.end() ? 0 : it->second;
    }
    std::vector<std::string> log;
    std::map<std::string, int> status;
};

TEST(SaveAndReboot, SavesThenFlushesWaitsAndRestarts) {
    Steps steps;
    SaveAndReboot action{[&] {
                             steps.log.push_back("save");
                             return true;
                         },
                         steps, [&](int ms) { steps.log.push_back("sleep " + std::to_string(ms)); }};
    EXPECT_TRUE(action.run());
    EXPECT_EQ(steps.log, (std::vector<std::string>{"save", "sync", "sleep 1000", "sudo reboot"}));
}

TEST(SaveAndRebootLog, FailuresAreLoggedAndAFailedSaveKeepsTheMachineUp) {
    KestravaLogger::Logger logger;
    const auto capture = LogCapture::attach(logger);
    Steps steps;
    steps.status["sudo reboot"] = 1;
    bool saved = true;
    SaveAndReboot action{[&] { return saved; }, steps, [](int) {}, &logger};
    EXPECT_FALSE(action.run());  // refused: the program carries on
    EXPECT_EQ(steps.log, (std::vector<std::string>{"sync", "sudo reboot"}));

    steps.log.clear();
    saved = false;
    EXPECT_FALSE(action.run());
    EXPECT_TRUE(steps.log.empty());

    ASSERT_TRUE(capture->waitFor("Command \"sudo reboot\" failed (1)"));
    ASSERT_TRUE(capture->waitFor("Settings could not be saved"));
    logger.stop();
}

}  // namespace
