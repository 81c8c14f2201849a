#include "audio/AudioSource.h"

#include "logging/StatusMessage.h"
#include "platform/Clock.h"
#include "platform/ThreadSetup.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace kestrava::audio {

using kestrava::transport::TRPSender;

namespace {

constexpr std::string_view legacyFormatText =
    "You're using a legacy Kestrava stream format. Update all encoders and decoders and then switch to the new "
    "format for improved audio quality and codec behavior.";

std::uint32_t inputRateOf(const KestravaInstanceConfig& config) {
    const std::int32_t rate = config.values.inputSampleRate.load();
    return static_cast<std::uint32_t>(rate > 0 ? rate : config.sampleRate);
}

}  // namespace

AudioSource::AudioSource(TRPSender* sender_, KestravaInstanceConfig* config_, std::unique_ptr<EncodeStep> encodeStep_,
                         FeedThread feedThreadMode)
    : config(config_),
      codecSampleRate(static_cast<std::uint32_t>(KestravaInstanceConfig::codecSampleRate)),
      inputBuffer("AudioSource.inputBuffer", config_),
      sampleRate(inputRateOf(*config_)),
      rateMeter(sampleRate, kestrava::steadyNowNs()),
      sender(sender_),
      encodeStep(std::move(encodeStep_)) {
    std::fill(std::begin(blockFrames), std::end(blockFrames), DemodulatedSample{});
    if (config->engine.codecVersion.load() < 2) {
        StatusMessage message;
        message.type = StatusInfo;
        message.key = StatusKey::None;
        const std::size_t n = std::min(legacyFormatText.size(), sizeof message.text - 1);
        std::memcpy(message.text, legacyFormatText.data(), n);
        config->statusMessages.postStatusMessage(message);
        config->logger.log(1, KestravaLogger::Info, legacyFormatText);
    }
    if (feedThreadMode == FeedThread::None) {
        feedThreadExited.store(true, std::memory_order_release);
        return;
    }
    kestrava::ThreadOptions options;
    options.name = "EncoderFeed";
    options.priority = config->engine.encoderPriority.load();
    options.affinityMask = config->affinityMask;
    options.floatMode = kestrava::FloatMode::GradualUnderflow;
    feedThread = kestrava::startThread(std::move(options), [this] { encoderThread(); });
}

AudioSource::~AudioSource() {
    running.store(false, std::memory_order_release);
    inputSemaphore.close();  // wakes the feed thread; every later claim returns at once
    // Joined, never let go: the thread uses this object and its encode step to the end.
    if (feedThread.joinable()) feedThread.join();
}

std::uint32_t AudioSource::blockSize() const {
    const auto nominal = static_cast<std::uint64_t>(config->sampleRate > 0 ? config->sampleRate : 1);
    const std::uint64_t n = static_cast<std::uint64_t>(static_cast<std::uint32_t>(config->blockLength)) * sampleRate / nominal;
    return static_cast<std::uint32_t>(std::clamp<std::uint64_t>(n, 1, blockCapacity));
}

void AudioSource::encoderThread() {
    while (running.load(std::memory_order_acquire)) {
        const std::uint32_t rate = sampleRate;
        const std::uint32_t n = blockSize();
        if (!claim(n)) continue;
        if (!running.load(std::memory_order_acquire)) break;
        encodeClaimedBlock(n, rate);
    }
    feedThreadExited.store(true, std::memory_order_release);
}

void AudioSource::encodeWaitingBlocks() {
    for (;;) {
        const std::uint32_t n = blockSize();
        if (inputSemaphore.count() < static_cast<std::int32_t>(n)) return;
        if (claim(n)) encodeClaimedBlock(n, sampleRate);
    }
}

bool AudioSource::claim(std::uint32_t n) {
    if (inputSemaphore.acquire(static_cast<std::int32_t>(n))) return true;
    // Closed (shutting down) or interrupted by a reset of the input: carry the reset out now,
    // so that the producer finds room again, and claim anew.
    inputBuffer.applyPendingReset();
    return false;
}

void AudioSource::encodeClaimedBlock(std::uint32_t count, std::uint32_t rate) {
    const std::uint32_t n = std::min(count, blockCapacity);
    const std::size_t copied = inputBuffer.readSliding(blockFrames, n, n);
    if (!encodeStep) return;  // only drains
    if (copied < n) {
        const auto left = static_cast<std::uint32_t>(inputBuffer.available());
        config->logger.log(1, KestravaLogger::Warning, "Not enough audio data to send: {} {}", left, n);
        return;
    }
    BlockView block;
    block.records = blockFrames;
    block.count = n;
    block.inputRate = rate;
    block.rateMeter = &rateMeter;
    block.inputWasReset = takeInputReset();
    block.signals = &signals;
    encodeStep->encodeAndSendBlock(block);
}

bool AudioSource::writeInput(const DemodulatedSample* frames, std::uint32_t count) {
    if (sampleRate != lastWriteRate) {
        lastWriteRate = sampleRate;
        resetInput();
    }
    const std::size_t written = inputBuffer.write(frames, count);
    if (written == count) {
        if (count > 0) inputSemaphore.release(static_cast<std::int32_t>(count));
        return true;
    }
    config->logger.log(1, KestravaLogger::Error, "Input buffer full, resetting buffers in audiosource");
    resetInput();
    return false;
}

void AudioSource::resetInput() {
    inputBuffer.requestReset();
    inputSemaphore.clearCount();
    inputWasReset.store(true, std::memory_order_release);
    signals.forceReset.store(true, std::memory_order_release);
    inputSemaphore.interrupt();
}

}  // namespace kestrava::audio
