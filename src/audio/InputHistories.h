#pragma once

#include "audio/OldSamples.h"

#include <memory>

class KestravaInstanceConfig;

namespace kestrava::audio {

// The two sample histories of an encoder instance. The raw one is fed from hook slot 0 (the
// sound-card blocks as delivered) and has no reader events; the input one is fed from slot 1
// (the composite channel after the input stage) and wakes the views that wait for fresh input.
struct InputHistories {
    static constexpr int rawInputSlot = 0;
    static constexpr int inputSlot = 1;

    // Builds both histories and stores a hook on each in the configuration's slots; done once,
    // before any pusher runs. A history whose allocation failed stays missing, its slot empty.
    static InputHistories install(KestravaInstanceConfig& config);

    // Start of a web update of a view: captures it in the input history, then in the raw one.
    void captureView(int view) const;

    std::shared_ptr<OldSamples> rawInputHistory;
    std::shared_ptr<OldSamples> inputHistory;
};

}  // namespace kestrava::audio
