#pragma once

#include <cstdint>

// The GPS synchroniser's status record, copied once per stamped block into the instance
// configuration, where the status page reads it. Receiver-side words keep their initial values.
struct GpsSyncStatus {
    std::uint8_t nmeaTimestamps = 0;  // 1 while the synchroniser has NMEA time stamps
    std::int32_t lockState = 0;       // 0 none, 1 locked, 2 acquiring, 4 converging
    std::uint32_t stampedSecond = 0;  // second of day read in the last stamping step
    std::uint32_t receivedSecond = 0; // second of day of the latest published stamp
    float encoderOffset = 0.0f;       // offset still to be compensated, seconds
    float reserved = 0.0f;            // receiver side
    float receiverHoldSeconds = 3600.0f;  // receiver side; starts at 3600
    float stamperSampleRate = 0.0f;   // average samples between NMEA stamps
};

static_assert(sizeof(GpsSyncStatus) == 32, "eight 32-bit words");
