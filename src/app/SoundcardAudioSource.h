#pragma once

#include "audio/demod/DemodulatingAudioSource.h"
#include "audio/soundcard/SoundcardInputStream.h"
#include "audio/soundcard/Tilt.h"

#include <cstdint>
#include <functional>
#include <memory>

namespace kestrava::audio::soundcard { class PortaudioWrapper; }
namespace kestrava::transport { class TRPSender; }

// The encoder's input from a sound card, in one object: the audio source with its feed thread
// and encode step, the demodulator with its thread, and the sound-card stream whose callback
// feeds the demodulator's input stage.
//
//   sound card --> stream callback --> input stage --> demodulator thread --> feed thread --> frames
//                        \--> hook slot 0 (raw blocks)
//
// Built not started: start() opens the device through its stream worker, stop() closes it. The
// destructor stops the stream before anything else, so the threads end in the order of the data
// flow: callbacks, demodulator thread, feed thread.
class SoundcardAudioSource final : public kestrava::audio::demod::DemodulatingAudioSource {
public:
    // `step` codes every block the source claims; null only drains the input.
    SoundcardAudioSource(kestrava::transport::TRPSender* sender, std::unique_ptr<kestrava::audio::EncodeStep> step, std::int32_t deviceIndex,
                         KestravaInstanceConfig* config, kestrava::audio::soundcard::PortaudioWrapper& wrapper);
    ~SoundcardAudioSource() override;

    void start() override { stream.start(); }
    void stop() override { stream.stop(); }
    kestrava::audio::SoundcardStreamControl* soundcardStream() override { return &stream; }

    // Both before start(): where an out-of-range input of the tilt filter is recorded, and what
    // the exit failure mode calls after the device failed to open four times.
    void setTiltErrorRecorder(kestrava::audio::soundcard::TiltErrorRecorder recorder) { stream.setTiltErrorRecorder(recorder); }
    void setStopRequester(std::function<void()> requester) { stream.setStopRequester(std::move(requester)); }
    void setExitOnOpenFailure(bool exit) { stream.setExitOnOpenFailure(exit); }

    kestrava::audio::soundcard::PortAudioSoundcardStream& inputStream() { return stream; }

private:
    // The stream part: hands the raw blocks to the first sample hook of the configuration.
    class Stream final : public kestrava::audio::soundcard::SoundcardInputStream {
    public:
        using kestrava::audio::soundcard::SoundcardInputStream::SoundcardInputStream;

    protected:
        void pushRawBlock(const float* block, std::uint32_t count) override;
    };

    Stream stream;
};
