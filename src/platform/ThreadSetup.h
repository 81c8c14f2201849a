#pragma once

#include <cstdint>
#include <string>
#include <thread>
#include <utility>

namespace kestrava {

// Floating-point mode a thread sets for itself when it starts. Coding threads need gradual
// underflow (their results are a contract with the decoder); the main body sets flush-to-zero.
enum class FloatMode { Keep, FlushToZero, GradualUnderflow };

struct ThreadOptions {
    std::string name;            // at most 15 characters reach the system
    int priority = 0;            // the settings' scale: -2 lowest .. 2 highest, 15 time-critical
    std::uint64_t affinityMask = 0;  // 0: no affinity is set
    FloatMode floatMode = FloatMode::Keep;
};

// The nice value that stands for a thread priority of the settings' scale.
int niceForPriority(int priority);

// Each prints "Setting thread priority to %d failed\n" (or its affinity twin) on standard error
// when the system refuses, and the thread runs on; the result says whether it worked.
bool setCurrentThreadPriority(int priority);
bool setCurrentThreadAffinity(std::uint64_t mask);
void setCurrentThreadName(const std::string& name);
void setCurrentFloatMode(FloatMode mode);
// True when the calling thread flushes denormals to zero (FTZ or DAZ set).
bool currentThreadFlushesDenormals();

// Name, priority, affinity (when non-zero) and floating-point mode, as a thread does right after it starts.
void applyThreadOptions(const ThreadOptions& options);

// Starts a standard thread that applies the options and then runs the body.
template <class Body>
std::thread startThread(ThreadOptions options, Body&& body) {
    return std::thread([options = std::move(options), body = std::forward<Body>(body)]() mutable {
        applyThreadOptions(options);
        body();
    });
}

}  // namespace kestrava
