#pragma once

#include "app/AudioSourceControl.h"
#include "app/InstancePaths.h"
#include "app/SampleHistoryControl.h"
#include "app/SenderControl.h"

#include <cstdint>
#include <functional>
#include <memory>

class KestravaInstanceConfig;

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
    std::function<std::shared_ptr<SampleHistoryControl>(float sampleRate, bool readerEvents)> makeHistory;
};

// The parts of this build.
EngineParts engineParts();
