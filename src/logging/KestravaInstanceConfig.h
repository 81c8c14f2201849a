#pragma once

#include "logging/GpsSyncStatus.h"
#include "logging/EngineSettings.h"
#include "logging/Logger.h"
#include "logging/PacketSequenceWindow.h"
#include "logging/StatusMessageRing.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

namespace kestrava::audio { class SampleHook; }
class KestravaStatus;
class KestravaStandaloneEncoderController;

// The engine configuration of one instance, reached through a pointer by every engine part:
// sample rate and block length, the live engine settings, run-time values, the logger, the
// status messages, the sample-hook slots and the status object. It outlives every engine thread.
class KestravaInstanceConfig {
public:
    static constexpr int sampleHookCount = 6;
    static constexpr std::int32_t codecSampleRate = 38400;

    // 192000 Hz with 2040 samples per block, or 176400 Hz with 1911.
    KestravaInstanceConfig(std::int32_t sampleRate, std::int32_t blockLength,
                           const kestrava::SystemClock& clock = kestrava::realSystemClock());
    ~KestravaInstanceConfig();

    KestravaInstanceConfig(const KestravaInstanceConfig&) = delete;
    KestravaInstanceConfig& operator=(const KestravaInstanceConfig&) = delete;

    // A new shared pointer to the status object; empty until the owner has assigned one.
    std::shared_ptr<KestravaStatus> getStatus() const;
    void setStatus(std::shared_ptr<KestravaStatus> status);

    // The GPS status block, written once per stamped block and read by the status page.
    void storeGpsStatus(const GpsSyncStatus& status);
    GpsSyncStatus gpsStatus() const;

    const std::int32_t sampleRate;
    const std::int32_t blockLength;
    EngineSettings engine;
    InstanceValues values;
    KestravaLogger::Logger logger;
    StatusMessageRing statusMessages;
    // Slot 0: raw sound-card blocks; slot 1: after the input stage; slots 2..5 stay empty.
    std::array<std::shared_ptr<kestrava::audio::SampleHook>, sampleHookCount> sampleHooks;
    std::atomic<KestravaStandaloneEncoderController*> controller{nullptr};
    std::uint64_t affinityMask = 0;
    PacketSequenceWindow sequenceWindow;

private:
    mutable std::mutex statusMutex;
    std::shared_ptr<KestravaStatus> status;
    mutable std::mutex gpsMutex;
    GpsSyncStatus gps;
};
