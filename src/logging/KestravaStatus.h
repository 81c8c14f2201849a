#pragma once

#include "logging/GpsSyncStatus.h"
#include "platform/NonCopyable.h"

#include <sys/socket.h>

#include <array>
#include <cstdint>
#include <string>

class KestravaInstanceConfig;

// One stretch of lost audio at the receiving end of a link.
struct LossSegment {
    std::int32_t number = 0;
    std::uint64_t start = 0;  // first stream position of the loss
    std::uint64_t end = 0;    // last position; start > end wraps around the position space
    std::int32_t late = 0;
    std::int32_t recoveredLate = 0;
    std::int32_t missing = 0;
    bool cpuLoadHigh = false;
    float silenceMs = 0.0f;

    bool used() const { return start != 0 || end != 0; }
};

struct SenderEntry {
    sockaddr_storage address{};  // family 0 until used
    std::int64_t lastSeen = 0;   // steady clock, ns
    bool active = false;
};

// The status sink of the codec link: senders, packet sequence, loss segments, input level and
// GPS synchronisation become status messages and fields of the instance configuration.
// The encoder calls onInputLevel and storeTiming; the rest serves a receiving side.
class KestravaStatus : kestrava::NonCopyable {
public:
    static constexpr int segmentCount = 10;
    static constexpr int senderCount = 10;
    static constexpr double senderTimeoutSeconds = 5.0;

    explicit KestravaStatus(KestravaInstanceConfig* config);
    virtual ~KestravaStatus() = default;

    virtual void onPacketFrom(const sockaddr_storage& address, std::int32_t unused);
    virtual void onSequence(std::uint64_t position, std::int32_t unused, bool firstFlag, bool secondFlag);
    virtual void checkReception(std::int64_t seconds);
    virtual void onStreamBack(std::int64_t seconds, std::int32_t undecodable);
    virtual void onVersionMismatch(std::int32_t version);
    virtual void onStreamSwitch();
    virtual void onOutputOverflow();
    virtual void onBufferReset(float fillMs, float fullScaleMs);
    virtual void addSilence(float ms, std::uint64_t position, std::int32_t unused);
    virtual void beginSegment(std::uint64_t start, std::uint64_t end);
    virtual void onLatePackets(float ms);
    virtual void markMissing(std::uint64_t first, std::uint64_t after);
    virtual void markRecovered(std::uint64_t position, std::int32_t unused, bool recovered);
    virtual void onAudioLoss(const LossSegment& segment);
    virtual void onSenderAdded(const std::string& address);
    virtual void onSenderTimedOut(const std::string& address);
    virtual void onSenderBack(const std::string& address);
    virtual void onSenderTableFull();
    virtual void setSegmentFlag(bool flag);
    virtual void onInputLevel(bool levelOff, float measuredPeak);
    virtual void storeTiming(const GpsSyncStatus& status);

    // The address alone (no port, no scope) in standard text form; "IP Family invalid" for
    // families other than IPv4 and IPv6.
    static std::string addressText(const sockaddr_storage& address);

    const std::array<LossSegment, segmentCount>& lossSegments() const { return segments; }
    const std::array<SenderEntry, senderCount>& senderTable() const { return senders; }
    bool inputLevelIsOff() const { return inputLevelOff; }

protected:
    // Steady clock in ns; tests may override.
    virtual std::int64_t steadyNow() const;
    bool segmentCovers(const LossSegment& s, std::uint64_t position) const;
    // Segment at the write index first, then backwards from the newest.
    LossSegment& segmentInSearchOrder(int k) { return segments[(segmentWriteIndex - k + segmentCount) % segmentCount]; }

    KestravaInstanceConfig* config;
    std::array<LossSegment, segmentCount> segments{};
    std::int32_t segmentWriteIndex = 0;
    std::int32_t segmentCount_ = 0;
    std::array<SenderEntry, senderCount> senders{};
    bool cpuLoadHigh = false;
    bool inputLevelOff = false;
};

// The status object the stand-alone program creates: it turns events into status messages.
class StandaloneKestravaStatus : public KestravaStatus {
public:
    using KestravaStatus::KestravaStatus;

    void onSequence(std::uint64_t position, std::int32_t unused, bool firstFlag, bool secondFlag) override;
    void checkReception(std::int64_t seconds) override;
    void onStreamBack(std::int64_t seconds, std::int32_t undecodable) override;
    void onVersionMismatch(std::int32_t version) override;
    void onStreamSwitch() override;
    void onOutputOverflow() override;
    void onBufferReset(float fillMs, float fullScaleMs) override;
    void onLatePackets(float ms) override;
    void onAudioLoss(const LossSegment& segment) override;
    void onInputLevel(bool levelOff, float measuredPeak) override;

private:
    bool streamSwitched = false;
};
