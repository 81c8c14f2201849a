#pragma once

#include "settings/EncoderSettings.h"

#include <array>
#include <cstdint>

// The settings applySettings pushed into the engine last. The starting values differ from any
// setting, so the first push after construction (or after a reset) is complete.
struct AppliedSettings {
    static constexpr int destinationCount = kestrava::settings::EncoderSettings::destinationCount;
    static constexpr std::int32_t noDestination = -1;
    static constexpr std::int32_t eraseRequested = -2;

    // Back to the starting values. Rows whose destination is still open in the sender (an erase
    // that the full ring refused) keep their state, so that the next push erases them.
    void reset();

    bool active = false;
    std::int32_t codecVersion = -1;
    float inputGain = -1.0f;
    std::array<bool, destinationCount> destinationOn{};
    std::array<std::array<char, kestrava::settings::EncoderSettings::hostSize>, destinationCount> destinationHost{};
    std::array<std::array<char, kestrava::settings::EncoderSettings::hostSize>, destinationCount> destinationInterface{};
    std::array<std::int32_t, destinationCount> destinationPort = filled(-1);
    std::array<std::int32_t, destinationCount> destinationId = filled(noDestination);
    bool plusMode = false;
    bool variableBitrate = false;
    std::int32_t vbrNoiseLevel = -1;
    std::int32_t vbrMaxBitrate = 0;
    std::int32_t bitrate = -1;
    float keyframeInterval = -1.0f;
    bool streamProtection = false;
    std::int32_t fecGroupSize = 0;
    std::int32_t fecOverhead = 0;
    std::int32_t rateLimit = 0;
    bool tiltOn = false;
    float tiltRc = 5.0f;
    bool gpsOn = false;
    std::int32_t gpsDevice = -1;
    std::int32_t gpsBaudRate = -1;
    char gpsDeviceName[kestrava::settings::EncoderSettings::deviceNameSize] = {};
    float gpsUsbDelay = 0.0f;
    float gpsClockOffset = 0.0f;
    std::int32_t inputDevice = -2;  // differs from every index and from "none" (-1)
    std::int32_t sampleRate = -1;

private:
    static std::array<std::int32_t, destinationCount> filled(std::int32_t v) {
        std::array<std::int32_t, destinationCount> a{};
        a.fill(v);
        return a;
    }
};
