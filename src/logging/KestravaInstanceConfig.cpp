#include "logging/KestravaInstanceConfig.h"

#include "logging/KestravaStatus.h"

#include <utility>

KestravaInstanceConfig::KestravaInstanceConfig(std::int32_t sampleRate_, std::int32_t blockLength_,
                                               const kestrava::SystemClock& clock)
    : sampleRate(sampleRate_), blockLength(blockLength_), logger(clock), statusMessages(clock),
      sequenceWindow(sampleRate_, blockLength_) {
    values.inputSampleRate = sampleRate;
    values.nominalSampleRate = sampleRate;
}

KestravaInstanceConfig::~KestravaInstanceConfig() {
    setStatus(nullptr);
    for (int i = sampleHookCount - 1; i >= 0; --i) sampleHooks[i].reset();
    logger.stop();
}

std::shared_ptr<KestravaStatus> KestravaInstanceConfig::getStatus() const {
    std::lock_guard lock(statusMutex);
    return status;
}

void KestravaInstanceConfig::setStatus(std::shared_ptr<KestravaStatus> newStatus) {
    std::shared_ptr<KestravaStatus> old;
    {
        std::lock_guard lock(statusMutex);
        old = std::exchange(status, std::move(newStatus));
    }
    // `old` is released outside the lock: the status object's destructor may take time.
}

void KestravaInstanceConfig::storeGpsStatus(const GpsSyncStatus& newStatus) {
    std::lock_guard lock(gpsMutex);
    gps = newStatus;
}

GpsSyncStatus KestravaInstanceConfig::gpsStatus() const {
    std::lock_guard lock(gpsMutex);
    return gps;
}
