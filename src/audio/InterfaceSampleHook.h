#pragma once

#include "audio/OldSamples.h"
#include "audio/SampleHook.h"

#include <memory>

namespace kestrava::audio {

// Appends every pushed block, scaled to 16-bit full scale, to a sample history and wakes the
// web views that wait on it. Keeps its history alive.
class InterfaceSampleHook : public SampleHook {
public:
    explicit InterfaceSampleHook(std::shared_ptr<OldSamples> history_) : history(std::move(history_)) {}
    void push(const float* block, std::int32_t count) override;
    const std::shared_ptr<OldSamples>& getHistory() const { return history; }

private:
    std::shared_ptr<OldSamples> history;
};

}  // namespace kestrava::audio
