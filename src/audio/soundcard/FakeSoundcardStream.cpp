#include "audio/soundcard/FakeSoundcardStream.h"

#include "logging/Logger.h"

#include <algorithm>

namespace kestrava::audio::soundcard {

FakeSoundcardStream::FakeSoundcardStream(KestravaLogger::Logger* logger_, double sampleRate_,
                                         PaStreamCallback* callback_, void* userData_, CompositeSignal signal_,
                                         PacingClock& clock_)
    : logger(logger_), sampleRate(sampleRate_), callback(callback_), userData(userData_), signal(std::move(signal_)),
      clock(clock_) {}

FakeSoundcardStream::~FakeSoundcardStream() { stop(); }

void FakeSoundcardStream::start() {
    running.store(true);
    if (worker) return;
    worker = std::make_unique<std::thread>([this] { run(); });
}

bool FakeSoundcardStream::stop() {
    const bool wasRunning = running.exchange(false);
    if (worker) {
        worker->join();
        worker.reset();
    }
    return wasRunning;
}

void FakeSoundcardStream::run() {
    if (logger != nullptr) {
        logger->log(1, KestravaLogger::Info, "Running fake soundcard - you won't hear any audio.");
        logger->log(1, KestravaLogger::Warning, "THIS IS FOR DEBUGGING PURPOSES ONLY.");
    }
    float block[blockFrames] = {};
    const std::int64_t startNs = clock.nowNs();
    std::uint64_t delivered = 0;
    while (running.load()) {
        if (signal) signal(block, blockFrames);
        const double audioSeconds = static_cast<double>(delivered) / sampleRate;
        PaStreamCallbackTimeInfo time{};
        time.inputBufferAdcTime = audioSeconds;
        time.currentTime = static_cast<double>(clock.nowNs() - startNs) / 1e9;
        const int result = callback != nullptr ? callback(block, nullptr, blockFrames, &time, 0, userData) : paContinue;
        delivered += blockFrames;
        if (result != paContinue) {
            // The stream completes on its own, as a library stream does; it reports itself finished.
            running.store(false);
            if (finishedCallback != nullptr) finishedCallback(userData);
            return;
        }
        const double ahead = static_cast<double>(delivered) / sampleRate - static_cast<double>(clock.nowNs() - startNs) / 1e9;
        if (ahead > 0.0) clock.sleepNs(static_cast<std::int64_t>(ahead * 1e9));
    }
}

}  // namespace kestrava::audio::soundcard
