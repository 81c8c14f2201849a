#pragma once

#include "platform/AlignedNew.h"

#include <array>
#include <cstdint>

namespace kestrava::settings {

// The live value of every encoder setting: the parameter model writes it through the settings
// walkers, applySettings reads it and writes back the two computed fields. Texts are
// NUL-terminated; a text of up to n characters takes n + 1 bytes.
struct EncoderSettings : AlignedNew {
    static constexpr int destinationCount = 100;
    static constexpr int hostSize = 65;
    static constexpr int descriptionSize = 33;
    static constexpr int deviceNameSize = 257;

    explicit EncoderSettings(std::int32_t configSampleRate);

    bool encoderOn = true;
    std::int32_t codecVersion = 3;
    std::array<bool, destinationCount> destinationOn{};
    std::array<std::array<char, hostSize>, destinationCount> destinationHost{};
    std::array<std::int32_t, destinationCount> destinationNic{};
    std::array<std::array<char, hostSize>, destinationCount> destinationInterface{};
    std::array<std::int32_t, destinationCount> destinationPort{};
    char newStreamPassword[129] = {};
    char newStreamKeyHash[33] = {};
    char activeStreamKeyHash[33] = {};
    std::array<std::array<char, descriptionSize>, destinationCount> destinationDescription{};
    bool plusMode = false;
    bool variableBitrate = false;
    std::int32_t vbrNoiseLevel = 32;
    std::int32_t vbrMaxBitrate = 0;
    std::int32_t bitrateV1 = 320;    // kbit/s, codec version 0
    std::int32_t bitrate = 320;      // kbit/s, codec versions 1 and above
    std::int32_t bitratePlus = 256;  // kbit/s, plus mode
    float keyframeInterval = 0.5f;   // seconds
    bool streamProtection = false;
    std::int32_t fecGroupSize = 64;   // packets
    std::int32_t fecOverhead = 4;     // packets
    std::int32_t rateLimitMargin = 100;  // kbit/s
    std::int32_t totalBitrate = 0;    // kbit/s, written by applySettings
    std::int32_t inputDevice = -1;
    std::int32_t sampleRate;          // Hz, the configuration's
    float inputGain = 1.0f;
    bool tiltOn = false;
    float tiltRc = 5.0f;
    bool gpsOn = false;
    std::int32_t gpsDevice = -1;
    std::int32_t gpsBaudRate = 9600;
    char gpsDeviceName[deviceNameSize] = {};
    float gpsUsbDelay = 0.05f;
    float gpsClockOffset = 0.0f;
    bool streamKeyPresent = false;   // written by applySettings
    std::int32_t defaultInputDevice = -1;  // found at start-up; -1 when no device is known
};

}  // namespace kestrava::settings
