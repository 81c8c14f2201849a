#pragma once

#include "audio/AudioSource.h"
#include "audio/DemodulatedSample.h"
#include "audio/demod/MPXD.h"
#include "audio/SoundcardInputStage.h"
#include "platform/AutoResetEvent.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

namespace kestrava::audio::demod {

// An audio source whose input is the composite signal: the input stage (feedInput, on the audio
// callback thread) watches the input peak, applies the input gain and appends the samples to the
// demodulator's input ring; the demodulator thread turns every whole frame into records for the
// encoder's ring and publishes the pilot level and the RDS phase flag (runDemodulatorCycle, which
// the offline chain runs too).
//
//   callback thread                    demodulator thread                   encoder feed thread
//   feedInput --> MPXD input ring --> readOutput --> writeInput --> AudioSource ring --> encode
//          \--> inputReady ------------/
//
// The demodulator thread holds `mutex` for each whole cycle; the input stage takes it only to
// hand the demodulator a new input sample rate. Start and stop of the stream are the sound-card
// source's business; this class is still abstract.
//
// The small interface base comes first: a polymorphic base placed behind the multi-megabyte
// AudioSource part is rejected by the undefined-behaviour checks.
class DemodulatingAudioSource : public kestrava::audio::SoundcardInputStage, public kestrava::audio::AudioSource {
public:
    static constexpr std::uint32_t blockRecords = MPXD::hop;  // records per demodulator cycle
    static constexpr float peakLow = 0.99f;
    static constexpr float peakHigh = 1.0f;

    // Starts the demodulator thread (after the feed thread that the base starts).
    DemodulatingAudioSource(kestrava::transport::TRPSender* sender, KestravaInstanceConfig* config, std::unique_ptr<kestrava::audio::EncodeStep> encodeStep);
    // Stops and joins the demodulator thread; the base then stops the feed thread. The owner has
    // stopped the callbacks before.
    ~DemodulatingAudioSource() override;

    // Audio callback thread, the only one: n composite samples (any n), gained in place.
    // Allocates nothing and locks the demodulator only when the input sample rate has changed.
    void feedInput(float* samples, std::uint32_t n) override;

    // For checks: what the demodulator holds, and the peak window of the input stage.
    MPXD& demodulatorState() { return demodulator; }
    std::uint32_t peakWindowSamples() const { return peakWindowLength; }

private:
    void demodulatorThread();
    void checkPeak(float blockPeak, std::uint32_t n);

    std::atomic<bool> running{true};
    kestrava::audio::DemodulatedSample outputBlock[blockRecords];
    MPXD demodulator;
    std::mutex mutex;
    // Set after every write into the input ring and by the destructor. An event rather than a
    // condition variable: a wake-up that comes between the thread's check and its wait is kept,
    // and the callback thread never has to take `mutex` to make it.
    kestrava::AutoResetEvent inputReady;

    // Input stage, callback thread only.
    float peakWindowMax = 0.0f;
    std::uint32_t peakWindowCount = 0;
    std::uint32_t peakWindowLength;
    bool inputLevelOff = false;
    float appliedGain = 0.0f;
    std::int32_t appliedSampleRate = 0;

    std::thread thread;  // last: started when everything else exists
};

}  // namespace kestrava::audio::demod
