// EncoderInstance::applySettings: carries changed settings into the running engine.
#include "app/EncoderInstance.h"

#include "logging/KestravaInstanceConfig.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

namespace {

using kestrava::settings::EncoderSettings;

// A float counts as changed when it differs or either side is not a number.
bool differs(float a, float b) { return std::isnan(a) || std::isnan(b) || a != b; }

template <std::size_t N>
bool textDiffers(const std::array<char, N>& applied, const std::array<char, N>& live) {
    return std::strncmp(applied.data(), live.data(), N - 1) != 0;
}

template <std::size_t N>
void copyText(std::array<char, N>& to, const std::array<char, N>& from) {
    const std::size_t n = strnlen(from.data(), N - 1);
    std::memcpy(to.data(), from.data(), n);
    to[n] = '\0';
}

std::int32_t saturate32(std::int64_t v) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, std::numeric_limits<std::int32_t>::min(),
                                                              std::numeric_limits<std::int32_t>::max()));
}

}  // namespace

bool EncoderInstance::refuseOnce(bool bad, std::int64_t value, std::int64_t& lastRefused, const char* what) {
    if (!bad) {
        lastRefused = INT64_MIN;
        return false;
    }
    if (value != lastRefused) {
        config.logger.log(1, KestravaLogger::Error, "Setting refused: {} {} is not supported", what, value);
        lastRefused = value;
    }
    return true;
}

void EncoderInstance::applySettings() {
    std::lock_guard lock(applyMutex);
    const EncoderSettings& s = settings;
    AppliedSettings& a = appliedCopy;
    EngineSettings& e = config.engine;
    bool resetNeeded = false;
    bool gpsResync = false;

    // Codec version and bit rate: values the coder has no tables for never reach the engine.
    if (!refuseOnce(s.codecVersion < 0 || s.codecVersion > 3, s.codecVersion, lastRefusedCodecVersion,
                    "codec version") &&
        s.codecVersion != a.codecVersion) {
        a.codecVersion = s.codecVersion;
        e.codecVersion = s.codecVersion;
    }
    const bool plus = a.codecVersion >= 3 && settings.plusMode;
    const std::int32_t rate = plus ? s.bitratePlus : (a.codecVersion == 0 ? s.bitrateV1 : s.bitrate);
    if (!refuseOnce(rate < 0, rate, lastRefusedBitrate, "bit rate") && rate != a.bitrate) {
        a.bitrate = rate;
        e.bitrate = rate;
    }
    if (plus != a.plusMode) {
        a.plusMode = plus;
        e.plusMode = plus;
    }
    const bool vbr = plus && s.variableBitrate;
    if (vbr != a.variableBitrate) {
        a.variableBitrate = vbr;
        e.variableBitrate = vbr;
    }
    if (s.vbrNoiseLevel != a.vbrNoiseLevel) {
        a.vbrNoiseLevel = s.vbrNoiseLevel;
        e.vbrNoiseLevel = s.vbrNoiseLevel;
    }
    if (s.vbrMaxBitrate != a.vbrMaxBitrate) {
        a.vbrMaxBitrate = s.vbrMaxBitrate;
        e.vbrMaxBitrate = s.vbrMaxBitrate;
    }

    const bool active = s.encoderOn && a.bitrate > 0;

    for (int row = 0; row < EncoderSettings::destinationCount; ++row) applyDestination(row, active);

    if (s.inputDevice != a.inputDevice) {
        a.inputDevice = s.inputDevice;
        resetNeeded = true;
        controller->setSoundcard(s.inputDevice);
        gpsResync = true;
    }
    if (s.sampleRate != a.sampleRate) {
        rawInputHistory->setSampleRate(static_cast<float>(s.sampleRate));
        inputHistory->setSampleRate(static_cast<float>(s.sampleRate));
        a.sampleRate = s.sampleRate;
        config.values.inputSampleRate = s.sampleRate;
        gpsResync = true;
        resetNeeded = true;
    }
    if (s.tiltOn != a.tiltOn) {
        a.tiltOn = s.tiltOn;
        e.tiltEnabled = s.tiltOn;
    }
    if (differs(s.tiltRc, a.tiltRc)) {
        a.tiltRc = s.tiltRc;
        e.tiltRc = s.tiltRc;
    }
    if (differs(s.inputGain, a.inputGain)) {
        a.inputGain = s.inputGain;
        e.inputGain = s.inputGain;
    }

    // Error correction: a group size or overhead of 0 or less switches it off; a code longer
    // than 256 packets does not exist and is refused.
    std::int32_t k = s.fecGroupSize;
    std::int32_t m = s.fecOverhead;
    if (k <= 0 || m <= 0) k = m = 0;
    if (!refuseOnce(std::int64_t{k} + m > 256, std::int64_t{k} + m, lastRefusedFec, "error correction size")) {
        if (k != a.fecGroupSize) {
            a.fecGroupSize = k;
            e.redundancyDelay = k;
        }
        if (m != a.fecOverhead) {
            a.fecOverhead = m;
            e.redundancyOverhead = m;
        }
    }

    // The total rate with the recovery packets, rounded up to whole kbit/s; 64-bit so that
    // large rates and groups cannot overflow.
    std::int64_t w = std::int64_t{std::max(a.bitrate, 0)} * 1000;
    if (a.fecOverhead >= 1 && a.fecGroupSize >= 1) w = w * (a.fecOverhead + a.fecGroupSize) / a.fecGroupSize;
    settings.totalBitrate = saturate32((w + 999) / 1000);
    const std::int32_t limit = saturate32((std::int64_t{s.totalBitrate} + s.rateLimitMargin) * 1000);
    if (limit != a.rateLimit) {
        a.rateLimit = limit;
        e.rateLimit = limit;
    }
    if (differs(s.keyframeInterval, a.keyframeInterval)) {
        a.keyframeInterval = s.keyframeInterval;
        e.resetInterval = s.keyframeInterval;
    }

    settings.streamKeyPresent =
        !e.getText(EngineSettings::TextStreamKey1).empty() || !e.getText(EngineSettings::TextStreamKey2).empty();
    const bool protection = s.streamProtection && s.streamKeyPresent;
    if (protection != a.streamProtection) {
        a.streamProtection = protection;
        e.streamProtection = protection;
    }

    if (s.gpsOn != a.gpsOn) {
        a.gpsOn = s.gpsOn;
        e.gpsTimeEncoding = s.gpsOn;
        gpsResync = true;
        resetNeeded = true;
    }
    if (std::strncmp(s.gpsDeviceName, a.gpsDeviceName, EncoderSettings::deviceNameSize - 1) != 0) {
        const std::size_t n = strnlen(s.gpsDeviceName, EncoderSettings::deviceNameSize - 1);
        std::memcpy(a.gpsDeviceName, s.gpsDeviceName, n);
        a.gpsDeviceName[n] = '\0';
        e.setText(EngineSettings::TextNmeaDevice, a.gpsDeviceName);
        gpsResync = true;
        resetNeeded = true;
    }
    if (s.gpsDevice != a.gpsDevice) {
        a.gpsDevice = s.gpsDevice;
        e.gpsDevice = s.gpsDevice;
        gpsResync = true;
        resetNeeded = true;
    }
    if (s.gpsBaudRate != a.gpsBaudRate) {
        a.gpsBaudRate = s.gpsBaudRate;
        e.gpsBaudRate = s.gpsBaudRate;
        gpsResync = true;
        resetNeeded = true;
    }
    if (differs(s.gpsUsbDelay, a.gpsUsbDelay)) {
        a.gpsUsbDelay = s.gpsUsbDelay;
        e.gpsUsbDelay = s.gpsUsbDelay;
    }
    if (differs(s.gpsClockOffset, a.gpsClockOffset)) {
        a.gpsClockOffset = s.gpsClockOffset;
        e.gpsClockOffset = s.gpsClockOffset;
    }
    if (resetNeeded) e.resetRequested = true;
    if (gpsResync) e.gpsResyncRequested = true;

    if (active != a.active) {
        a.active = active;
        if (active) {
            const auto open = std::count(a.destinationOn.begin(), a.destinationOn.end(), true);
            config.logger.log(1, KestravaLogger::Info, "Encoder on: codec version {}, {} kbit/s, {} destination(s)",
                              a.codecVersion, a.bitrate, open);
        } else {
            config.logger.log(1, KestravaLogger::Info, "Encoder off");
        }
        controller->postState(active);
        // Off: the next call pushes every setting anew.
        if (!active) a.reset();
    }
}

void EncoderInstance::applyDestination(int row, bool active) {
    const EncoderSettings& s = settings;
    AppliedSettings& a = appliedCopy;
    const bool open = a.destinationOn[row];
    bool changed;
    if (active) {
        changed = open != s.destinationOn[row] ||
                  (open && (textDiffers(a.destinationHost[row], s.destinationHost[row]) ||
                            textDiffers(a.destinationInterface[row], s.destinationInterface[row]) ||
                            a.destinationPort[row] != s.destinationPort[row]));
    } else {
        changed = open;
    }
    if (!changed) return;

    if (a.destinationId[row] >= 0) {
        if (!controller->sender()->queueErase(a.destinationId[row])) {
            // The row stays as it is, so the next call tries the erase again.
            return;
        }
        a.destinationId[row] = AppliedSettings::eraseRequested;
    }
    a.destinationOn[row] = active && s.destinationOn[row];
    if (!a.destinationOn[row]) return;

    copyText(a.destinationHost[row], s.destinationHost[row]);
    copyText(a.destinationInterface[row], s.destinationInterface[row]);
    a.destinationPort[row] = s.destinationPort[row];
    const std::int32_t id = controller->sender()->queueOpen(a.destinationHost[row].data(),
                                                            std::to_string(a.destinationPort[row]),
                                                            a.destinationInterface[row].data(), true);
    if (id < 0) {
        // Not open: the next call sees the row as changed and tries again.
        a.destinationOn[row] = false;
        a.destinationId[row] = AppliedSettings::noDestination;
        return;
    }
    a.destinationId[row] = id;
}
