#pragma once

#include <chrono>

class OldSamples;

// The shell's view of a sample history: a shared record of recent input samples that other parts
// display or analyse. applySettings only tells it the input's sample rate.
class SampleHistoryControl {
public:
    virtual ~SampleHistoryControl() = default;
    // Sets the history's rate and its scaled rate (the rate times the history's multiplier).
    virtual void setSampleRate(float sampleRate) = 0;
    virtual bool hasReaderEvents() const = 0;
    // The web pages' use: wait for a fresh block for a client view (histories with reader events),
    // and position a client's view pair at the start of its request.
    virtual void waitForInput(int /*view*/, std::chrono::milliseconds /*timeout*/) {}
    virtual void captureViewPair(int /*view*/) {}
    // The samples themselves, which the display rows draw from; null for a history without
    // any (a test's stand-in).
    virtual OldSamples* samples() { return nullptr; }
};
