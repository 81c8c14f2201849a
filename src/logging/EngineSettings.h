#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

// The live copy of the settings that the engine threads read. The settings thread writes the
// fields while engine threads read them, so each is an atomic word; the texts sit behind a mutex
// and are copied out whole.
struct EngineSettings {
    static constexpr int textCount = 4;
    enum TextIndex : int {
        TextUnused = 0,
        TextStreamKey1 = 1,
        TextStreamKey2 = 2,  // the pending stream key written by key entry and password hashing
        TextNmeaDevice = 3,
    };

    std::atomic<std::int32_t> bitrate{320};         // kbit/s
    std::atomic<std::int32_t> rateLimit{0};         // send rate limit, 0 = none
    std::atomic<std::int32_t> redundancyDelay{0};   // frames per redundancy group
    std::atomic<std::int32_t> redundancyOverhead{0};  // recovery packets per group
    std::atomic<std::int32_t> codecVersion{3};      // 0 legacy, 1 and 2 double, 3 float
    std::atomic<std::int32_t> gpsDevice{-1};        // -2 system clock, -1 named device, n serial port n
    std::atomic<std::int32_t> threadPriority{0};    // controller, sound card, send, socket manager, audio library
    std::atomic<std::int32_t> demodulatorPriority{1};  // demodulator and GPS reader
    std::atomic<std::int32_t> encoderPriority{2};   // encoder feed and encoder workers
    std::atomic<std::int32_t> vbrNoiseLevel{32};
    std::atomic<std::int32_t> vbrMaxBitrate{0};     // kbit/s
    std::atomic<std::int32_t> gpsBaudRate{9600};
    std::atomic<bool> tiltEnabled{false};
    std::atomic<bool> streamProtection{false};
    std::atomic<bool> gpsTimeEncoding{false};
    std::atomic<bool> resetRequested{false};        // the next encoded block carries a reset packet
    // Raised when the sound card, the input rate or a GPS setting changes; the encode step clears
    // it when it resynchronises the GPS synchroniser (while stamping is off it stays raised).
    std::atomic<bool> gpsResyncRequested{false};
    std::atomic<bool> plusMode{false};
    std::atomic<bool> variableBitrate{false};
    std::atomic<float> tiltRc{5.0f};
    std::atomic<float> inputGain{1.0f};
    std::atomic<float> resetInterval{5.0f};         // seconds between reset packets
    std::atomic<float> gpsUsbDelay{0.0f};           // seconds
    std::atomic<float> gpsClockOffset{0.0f};        // seconds

    // Copies text `index` (0..3); an index outside gives an empty text.
    std::string getText(int index) const;
    void setText(int index, const std::string& text);
    // Replaces text `index` and returns the old one in one step, so a hand-over cannot lose a
    // text written between a read and a clear.
    std::string exchangeText(int index, const std::string& text);

private:
    mutable std::mutex textMutex;
    std::array<std::string, textCount> texts;
};

// Run-time values of an instance.
struct InstanceValues {
    std::atomic<std::int32_t> inputSampleRate{0};
    std::atomic<std::int32_t> nominalSampleRate{0};
    std::atomic<std::int32_t> codecSampleRate{38400};
    std::atomic<std::int32_t> logFolderLimitMb{4096};
    std::atomic<float> streamWaitSeconds{1.0f};
    std::atomic<float> watchdogSeconds{5.0f};
    std::atomic<float> peakLevel{-2.0f};
    std::atomic<float> demodulatorLevel{-1.0f};
    std::atomic<float> encoderLevel{-1.0f};
};
