#pragma once

#include "app/AudioSourceControl.h"
#include "model/InstancePaths.h"
#include "app/SampleHistoryControl.h"
#include "app/SenderControl.h"
#include "audio/soundcard/FakeSoundcardStream.h"

#include <cstdint>
#include <functional>
#include <memory>

class KestravaInstanceConfig;
namespace kestrava::audio::soundcard { class PortaudioWrapper; }

// The two sample histories of an instance: raw sound-card input, and input after the input stage.
struct SampleHistories {
    std::shared_ptr<SampleHistoryControl> raw;
    std::shared_ptr<SampleHistoryControl> input;
};

// How an instance makes the engine parts that other subsystems own: the log wiring, the
// transport sender, the sound-card source and the sample histories. The program uses
// engineParts(); tests put in their own.
struct EngineParts {
    // Starts the audio-library wrapper's thread for the instance, before the encoder exists; the
    // stop ends its reports through the configuration, which is about to go away. Either may be
    // empty (no audio library).
    std::function<void(KestravaInstanceConfig&)> startAudioLibrary;
    std::function<void()> stopAudioLibrary;
    // The system's default input device when it can capture the composite signal, else the first
    // device that can, else -1. Through the wrapper, once it runs.
    std::function<std::int32_t(KestravaInstanceConfig&)> findDefaultInputDevice;
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

// Where the encoder's input comes from: the audio library, through a wrapper (null: the
// process's own), or the fake sound card in its place, playing a composite signal in a loop
// (empty: silence). The fake is only ever chosen here, never as a fallback for a failing card.
struct AudioInputChoice {
    kestrava::audio::soundcard::PortaudioWrapper* wrapper = nullptr;
    bool fakeSoundcard = false;
    kestrava::audio::soundcard::CompositeSignal fakeSignal;
};

// The parts of this build.
EngineParts engineParts(AudioInputChoice input = {});
