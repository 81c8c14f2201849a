#pragma once

#include "audio/InputRateMeter.h"
#include "audio/soundcard/PortAudioSoundcardStream.h"
#include "audio/SoundcardInputStage.h"
#include "audio/soundcard/Tilt.h"

#include <atomic>
#include <cstdint>

namespace kestrava::audio::soundcard {

// The sound-card side of the sound-card audio source: a stream whose callback measures the real
// input rate, reports the stream's status bits, hands the raw block to the first sample hook,
// runs channel 0 through the tilt filter when tilt correction is on, and hands the samples to
// the input stage in chunks of at most 1024. The rate measurement and the input stage belong to
// the audio source and outlive this part. The callback allocates nothing, takes no lock and logs
// only on rare events (a discarded window, status bits).
class SoundcardInputStream : public PortAudioSoundcardStream {
public:
    static constexpr std::uint32_t chunkSize = 1024;

    SoundcardInputStream(KestravaInstanceConfig& config, PortaudioWrapper& wrapper, std::int32_t deviceIndex,
                         kestrava::audio::SoundcardInputStage& stage, kestrava::audio::InputRateMeter& rate,
                         const SteadyClock& clock = realSteadyClock());
    // Stops the stream first, so that no callback runs while the members go away.
    ~SoundcardInputStream() override;

    // Returns paContinue in every case. A block without input samples is skipped (only stamped).
    int onAudio(const float* input, float* output, std::uint32_t frameCount, const PaStreamCallbackTimeInfo* timeInfo,
                PaStreamCallbackFlags statusFlags) override;

    void setTiltErrorRecorder(TiltErrorRecorder recorder) { tilt.errorRecorder = recorder; }
    // Callbacks that came without an input block.
    std::uint64_t skippedBlocks() const { return nullBlocks.load(std::memory_order_relaxed); }

protected:
    // The first sample hook: the block as delivered, before tilt and gain. Does nothing here;
    // the audio source takes its hook slot's shared reference for the duration of the push.
    virtual void pushRawBlock(const float* block, std::uint32_t count);

private:
    kestrava::audio::SoundcardInputStage& stage;
    kestrava::audio::InputRateMeter& rate;
    Tilt tilt;
    alignas(64) float chunk[chunkSize] = {};
    std::atomic<std::uint64_t> nullBlocks{0};
};

}  // namespace kestrava::audio::soundcard
