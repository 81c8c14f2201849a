#include "app/ConsoleSignals.h"

#include <pthread.h>
#include <signal.h>

namespace {

// The thread's own wake-up to end; never sent from outside the process by anything of ours.
constexpr int endSignal = SIGUSR1;

sigset_t consoleSet() {
    sigset_t set;
    sigemptyset(&set);
    for (int s : {SIGINT, SIGQUIT, SIGHUP, SIGTERM, endSignal}) sigaddset(&set, s);
    return set;
}

}  // namespace

ConsoleSignals::ConsoleSignals() {
    const sigset_t set = consoleSet();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    struct sigaction ignore{};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, nullptr);
}

ConsoleSignals::~ConsoleSignals() { stop(); }

void ConsoleSignals::start(std::function<void(int)> handler) {
    if (thread.joinable()) return;
    thread = std::thread([this, handler = std::move(handler)] {
        const sigset_t set = consoleSet();
        for (;;) {
            int received = 0;
            if (sigwait(&set, &received) != 0) continue;
            // A stray SIGUSR1 from outside does not end the thread.
            if (received == endSignal) {
                if (ending) return;
                continue;
            }
            handler(received);
        }
    });
}

void ConsoleSignals::stop() {
    if (!thread.joinable()) return;
    ending = true;
    pthread_kill(thread.native_handle(), endSignal);
    thread.join();
}
