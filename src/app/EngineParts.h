#pragma once

#include "app/AudioSourceControl.h"
#include "app/InstancePaths.h"
#include "app/SampleHistoryControl.h"
#include "app/SenderControl.h"

#include <cstdint>
#include <functional>
#include <memory>

class KestravaInstanceConfig;

// The two sample histories of an instance: raw sound-card input, and input after the input stage.
struct SampleHistories {
    std::shared_ptr<SampleHistoryControl> raw;
    std::shared_ptr<SampleHistoryControl> input;
};

// How an instance makes the engine parts that other subsystems own: the log wiring, the
// transport sender, the sound-card source and the sample histories. The program uses
// engineParts(); tests put in their own.
struct EngineParts {
    std::function<void(KestravaInstanceConfig&, const InstancePaths&)> wireLogging;
    std::function<std::unique_ptr<SenderControl>(KestravaInstanceConfig&)> makeSender;
    // An empty result means the source could not be made (the controller stays without one).
    std::function<std::unique_ptr<AudioSourceControl>(SenderControl& sender, std::int32_t soundcard,
                                                      KestravaInstanceConfig&)>
        makeSoundcardSource;
    // Makes both histories and hangs their taps into the configuration's sample-hook slots 0 and
    // 1; a history that could not be made stays empty.
    std::function<SampleHistories(KestravaInstanceConfig&)> makeHistories;
};

// The parts of this build.
EngineParts engineParts();
