#pragma once

#include <chrono>
#include <thread>

// Spins (yielding) until the condition holds or 10 s have passed; true when it holds. For
// observing another thread's state without sleeping a guessed time.
template <class Condition>
bool waitUntil(Condition condition) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::yield();
    }
    return true;
}
