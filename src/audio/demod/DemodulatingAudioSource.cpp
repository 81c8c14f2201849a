#include "audio/demod/DemodulatingAudioSource.h"

#include "audio/SampleHook.h"
#include "audio/demod/DemodulatorCycle.h"
#include "logging/KestravaStatus.h"
#include "platform/ThreadSetup.h"

#include <algorithm>
#include <cmath>

namespace kestrava::audio::demod {

using kestrava::audio::AudioSource;
using kestrava::audio::DemodulatedSample;
using kestrava::audio::EncodeStep;
using kestrava::audio::pushToHook;

using kestrava::transport::TRPSender;

namespace {

constexpr std::uint64_t secondsPerHour = 3600;

std::uint32_t positiveRate(std::int32_t rate, std::int32_t fallback) {
    if (rate > 0) return static_cast<std::uint32_t>(rate);
    return fallback > 0 ? static_cast<std::uint32_t>(fallback) : 1u;
}

}  // namespace

DemodulatingAudioSource::DemodulatingAudioSource(TRPSender* sender, KestravaInstanceConfig* config_,
                                                 std::unique_ptr<EncodeStep> encodeStep)
    : AudioSource(sender, config_, std::move(encodeStep)),
      demodulator(config_),
      peakWindowLength(5 * positiveRate(config_->values.nominalSampleRate.load(), config_->sampleRate)) {
    std::fill(std::begin(outputBlock), std::end(outputBlock), DemodulatedSample{});
    kestrava::ThreadOptions options;
    options.name = "Demodulator";
    options.priority = config->engine.demodulatorPriority.load();
    options.affinityMask = config->affinityMask;
    // Silence decays into denormals in the filters and the loop; they must not stall the thread.
    options.floatMode = kestrava::FloatMode::FlushToZero;
    thread = kestrava::startThread(std::move(options), [this] { demodulatorThread(); });
}

DemodulatingAudioSource::~DemodulatingAudioSource() {
    {
        // Cleared under the mutex: the thread reads the flag under it before it waits.
        std::lock_guard lock(mutex);
        running.store(false, std::memory_order_release);
    }
    inputReady.set();
    if (thread.joinable()) thread.join();
}

void DemodulatingAudioSource::demodulatorThread() {
    for (;;) {
        {
            std::lock_guard lock(mutex);
            if (!running.load(std::memory_order_acquire)) return;
            // One frame at a time; more may wait already.
            if (runDemodulatorCycle(demodulator, outputBlock, *this)) continue;
        }
        inputReady.wait();
    }
}

void DemodulatingAudioSource::feedInput(float* samples, std::uint32_t n) {
    float peak = 0.0f;
    for (std::uint32_t i = 0; i < n; ++i) {
        const float a = std::fabs(samples[i]);
        peak = a > peak ? a : peak;
    }
    checkPeak(peak, n);

    const float gain = config->engine.inputGain.load(std::memory_order_relaxed);
    for (std::uint32_t i = 0; i < n; ++i) samples[i] = samples[i] * gain;
    pushToHook(config->sampleHooks[1], samples, static_cast<std::int32_t>(n));

    const std::int32_t rate = config->values.inputSampleRate.load(std::memory_order_relaxed);
    if (rate != appliedSampleRate) {
        // Waits for the cycle in progress: the demodulator never runs on half-rebuilt masks.
        std::lock_guard lock(mutex);
        appliedSampleRate = rate;
        demodulator.setSampleRate(rate > 0 ? static_cast<std::uint32_t>(rate) : 0u);
        demodulator.reset();
    }

    demodulator.inputBuffer().write(samples, n);
    inputReady.set();
}

// Compares the gained input peak with 0.99..1.0 over windows that start at one second after a
// gain change and double up to an hour; reports a change of state, and every out-of-range window.
void DemodulatingAudioSource::checkPeak(float blockPeak, std::uint32_t n) {
    const float gain = config->engine.inputGain.load(std::memory_order_relaxed);
    if (gain != appliedGain) {
        peakWindowLength = positiveRate(config->values.nominalSampleRate.load(), config->sampleRate);
        peakWindowCount = 0;
        peakWindowMax = 0.0f;
        appliedGain = gain;
    }
    const std::uint64_t count = static_cast<std::uint64_t>(peakWindowCount) + n;
    const float windowMax = blockPeak > peakWindowMax ? blockPeak : peakWindowMax;
    if (count <= peakWindowLength) {
        peakWindowCount = static_cast<std::uint32_t>(count);
        peakWindowMax = windowMax;
        return;
    }

    const float measured = gain * windowMax;
    const bool inRange = measured >= peakLow && measured <= peakHigh;
    if (!inRange) {
        if (!inputLevelOff) {
            config->logger.log(1, KestravaLogger::Warning, "Input peak level off: measured {}",
                               static_cast<double>(measured));
            inputLevelOff = true;
        }
        if (const auto status = config->getStatus()) status->onInputLevel(true, measured);
    } else if (inputLevelOff) {
        config->logger.log(1, KestravaLogger::Info, "Input peak level OK: measured {}", static_cast<double>(measured));
        if (const auto status = config->getStatus()) status->onInputLevel(false, measured);
        inputLevelOff = false;
    }

    const std::uint64_t hour =
        static_cast<std::uint64_t>(positiveRate(config->values.inputSampleRate.load(), config->sampleRate)) *
        secondsPerHour;
    peakWindowMax = 0.0f;
    peakWindowCount = 0;
    peakWindowLength = static_cast<std::uint32_t>(std::min(2 * static_cast<std::uint64_t>(peakWindowLength), hour));
}

}  // namespace kestrava::audio::demod
