#pragma once

#include <atomic>
#include <functional>
#include <thread>

// Console control events on Linux: SIGINT (Ctrl+C), SIGQUIT (Ctrl+Break), SIGHUP (the console
// closed) and SIGTERM (shut-down). They are blocked in every thread and taken by one thread of
// their own, which runs the handler for each. SIGPIPE is ignored (sockets send with MSG_NOSIGNAL).
class ConsoleSignals {
public:
    // Blocks the signals in the calling thread; call it before any other thread starts, so that
    // every later thread inherits the mask.
    ConsoleSignals();
    ~ConsoleSignals();
    ConsoleSignals(const ConsoleSignals&) = delete;
    ConsoleSignals& operator=(const ConsoleSignals&) = delete;

    // Starts the thread that hands each event to the handler (with the signal number).
    void start(std::function<void(int)> handler);
    // Ends that thread.
    void stop();

private:
    std::atomic<bool> ending{false};
    std::thread thread;
};
