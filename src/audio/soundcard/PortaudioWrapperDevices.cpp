// Device list and selection: the queries of PortaudioWrapper that decide which devices are
// offered and used as sound cards. No state survives a call; every call asks the library afresh.
#include "audio/soundcard/PortaudioWrapper.h"

#include "logging/KestravaInstanceConfig.h"

#include <fmt/format.h>

#include <cstring>

namespace kestrava::audio::soundcard {

namespace {

PaStreamParameters probeParameters(PaDeviceIndex device) {
    PaStreamParameters p{};
    p.device = device;
    p.channelCount = 1;
    p.sampleFormat = paFloat32;
    p.suggestedLatency = 0.0;
    p.hostApiSpecificStreamInfo = nullptr;
    return p;
}

}  // namespace

std::string PortaudioWrapper::deviceKey(const PaDeviceInfo& info, const PaHostApiInfo& hostApi) {
    return fmt::format("{} ({})", info.name != nullptr ? info.name : "", hostApi.name != nullptr ? hostApi.name : "");
}

bool PortaudioWrapper::probe(const PaStreamParameters* input, const PaStreamParameters* output, double rate) {
    return isFormatSupported(input, output, rate) == paFormatIsSupported;
}

bool PortaudioWrapper::checkDevice(KestravaInstanceConfig& context, std::int32_t direction,
                                   PaDeviceIndex device, const PaDeviceInfo* info, const PaHostApiInfo* hostApi) {
    auto& logger = context.logger;
    if (info == nullptr) info = getDeviceInfo(device);
    if (info == nullptr) {
        logger.log(1, KestravaLogger::Warning, "Unknown audio device {:d}", device);
        return false;
    }
    if (hostApi == nullptr) hostApi = getHostApiInfo(info->hostApi);
    if (hostApi == nullptr) {
        logger.log(1, KestravaLogger::Warning, "Unknown host api {} for device {}", info->hostApi, device);
        return false;
    }
    const PaStreamParameters parameters = probeParameters(device);
    const double rate = static_cast<double>(context.sampleRate);
    if (direction == 1) return probe(&parameters, nullptr, rate) && info->maxInputChannels != 0;
    if (direction == 0) return probe(nullptr, &parameters, rate) && info->maxOutputChannels != 0;
    const bool input = probe(&parameters, nullptr, rate);
    const bool output = probe(nullptr, &parameters, rate);
    return input || output;
}

std::vector<SoundcardEntry> PortaudioWrapper::listDevices(KestravaInstanceConfig& context,
                                                          std::int32_t direction) {
    std::vector<SoundcardEntry> list;
    auto& logger = context.logger;
    const PaDeviceIndex count = getDeviceCount();
    for (PaDeviceIndex i = 0; i < count; ++i) {
        const PaDeviceInfo* info = getDeviceInfo(i);
        if (info == nullptr) {
            logger.log(1, KestravaLogger::Warning, "Unknown audio device {:d}", i);
            continue;
        }
        const PaHostApiInfo* hostApi = getHostApiInfo(info->hostApi);
        if (hostApi == nullptr) {
            logger.log(1, KestravaLogger::Warning, "Unknown host api {} for device {}", info->hostApi, i);
            continue;
        }
        if (!checkDevice(context, direction, i, info, hostApi)) continue;
        if (direction != 1 && direction != 0) continue;
        SoundcardEntry entry;
        entry.deviceIndex = i;
        entry.name = deviceKey(*info, *hostApi);
        entry.displayName = entry.name;
        list.push_back(std::move(entry));
    }
    return list;
}

PaDeviceIndex PortaudioWrapper::findDefaultInputDevice(KestravaInstanceConfig& context) {
    if (checkDevice(context, 1, getDefaultInputDevice())) return getDefaultInputDevice();
    const PaDeviceIndex count = getDeviceCount();
    for (PaDeviceIndex i = 0; i < count; ++i) {
        if (checkDevice(context, 1, i)) return i;
    }
    return -1;
}

PaDeviceIndex PortaudioWrapper::findDeviceByName() {
    const PaDeviceIndex count = getDeviceCount();
    for (PaDeviceIndex i = 0; i < count; ++i) {
        const PaDeviceInfo* info = getDeviceInfo(i);
        if (info != nullptr && info->name != nullptr && std::strcmp(info->name, "snd_rpi_wsp") == 0) return i;
    }
    return -1;
}

PaDeviceIndex PortaudioWrapper::findDeviceByKey(const std::string& key) {
    const PaDeviceIndex count = getDeviceCount();
    for (PaDeviceIndex i = 0; i < count; ++i) {
        const PaDeviceInfo* info = getDeviceInfo(i);
        if (info == nullptr) continue;
        const PaHostApiInfo* hostApi = getHostApiInfo(info->hostApi);
        if (hostApi != nullptr && deviceKey(*info, *hostApi) == key) return i;
    }
    return -1;
}

}  // namespace kestrava::audio::soundcard
