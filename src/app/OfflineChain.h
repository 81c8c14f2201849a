#pragma once

#include "gps/NmeaScript.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

// What the offline chain codes with. Redundancy is off while either group number is 0;
// protection is off without a key.
struct OfflineChainOptions {
    std::uint32_t inputRate = 192000;  // composite samples per second
    std::int32_t version = 3;
    std::int32_t kbps = 320;
    bool plusMode = false;
    bool variableBitRate = false;
    std::int32_t vbrMaxKbps = 0;        // 0: the settings' default
    std::int32_t groupFrames = 0;       // frames per redundancy group (k)
    std::int32_t recoveryPackets = 0;   // recovery packets per group (m)
    std::optional<std::array<std::uint8_t, 16>> key;
    float resetInterval = 5.0f;         // seconds between reset packets
    // GPS time stamps from NMEA reads timed in stream seconds, or from a synthetic 1 Hz receiver.
    std::optional<kestrava::gps::NmeaScript> nmea;
    bool nmeaSynthetic = false;
};

// The encoder's chain from composite samples to transport packets without sockets: demodulator,
// encode step, transport sender with its redundancy groups, stream protection. It runs the same
// code as the running encoder on the caller's thread; the only other threads are the codec's
// worker (second main channel, joined every block) and the logger's writer, neither of which
// orders the output, so the same input always gives the same packets; the stream positions start
// at a fixed point for the same reason.
class OfflineChain {
public:
    using PacketCallback = std::function<void(const std::uint8_t* data, std::size_t length)>;
    // The sent frame's planes (first main, second main, third), n samples each.
    using PlanesCallback = std::function<void(const std::array<const float*, 3>& planes, std::uint32_t n)>;

    explicit OfflineChain(const OfflineChainOptions& options);
    ~OfflineChain();
    OfflineChain(const OfflineChain&) = delete;
    OfflineChain& operator=(const OfflineChain&) = delete;

    // Empty when the chain is ready; otherwise why it cannot code (feed() then does nothing).
    const std::string& error() const;

    // Every packet as it would go on the wire.
    PacketCallback onPacket;
    // The encoder's own reconstruction of every sent frame, and the input it coded.
    PlanesCallback onReconstruction;
    PlanesCallback onInput;

    // Demodulates and codes; frames come out as soon as whole blocks are there.
    void feed(const float* composite, std::size_t count);

    // Turns on the log lines of the chain on standard error (call once, before feed()): every
    // line, or only errors.
    void logToStderr(bool everything = true);

private:
    struct Parts;
    std::unique_ptr<Parts> parts;
};
