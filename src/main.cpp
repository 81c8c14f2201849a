// kestrava-encoder: the stand-alone encoder.
#include "BuildInfo.h"
#include "logging/KestravaInstanceConfig.h"
#include "logging/SetupLogging.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <pthread.h>

namespace {

std::string stateFolder() {
    if (const char* state = std::getenv("XDG_STATE_HOME"); state != nullptr && *state != '\0') return state;
    const char* home = std::getenv("HOME");
    return std::string(home != nullptr ? home : ".") + "/.local/state";
}

}  // namespace

int main() {
    // Console control events arrive as signals, taken by this thread alone.
    sigset_t signals;
    sigemptyset(&signals);
    for (int s : {SIGINT, SIGQUIT, SIGHUP, SIGTERM}) sigaddset(&signals, s);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    std::printf("Kestrava Encoder %s (build %s)\n", kestrava::build::version, kestrava::build::buildId);
    std::fflush(stdout);

    KestravaInstanceConfig config(192000, 2040);
    setupLogging(config, stateFolder() + "/Kestrava_Encoder.log");
    config.logger.log(1, KestravaLogger::Info, "Kestrava encoder running");

    int received = 0;
    sigwait(&signals, &received);
    config.logger.log(1, KestravaLogger::Info, "Received interrupt signal, shutting down");
    config.logger.log(1, KestravaLogger::Info, "Kestrava stopping.");
    config.logger.stop();
    return 0;
}
