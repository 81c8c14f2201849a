#include "app/KestravaParameters.h"

#include "logging/KestravaInstanceConfig.h"
#include "logging/KestravaStatus.h"

#include <stdexcept>

KestravaParameters::KestravaParameters(Model* owner, const char* argv0, EngineParts parts)
    : CommonBase(owner, argv0) {
    const bool variant176k = isVariant176k(instancePaths->programName);
    const std::int32_t sampleRate = variant176k ? 176400 : 192000;
    const std::int32_t blockLength = variant176k ? 1911 : 2040;
    config = std::make_shared<KestravaInstanceConfig>(sampleRate, blockLength);
    status = std::make_shared<StandaloneKestravaStatus>(config.get());
    config->setStatus(status);
    // Every audio-library call from here on runs on the wrapper's thread.
    stopAudioLibrary = parts.stopAudioLibrary;
    if (parts.startAudioLibrary) parts.startAudioLibrary(*config);
    try {
        encoderSettings.reset(new kestrava::settings::EncoderSettings(config->sampleRate));
        if (!encoderSettings) throw std::runtime_error("the live settings record could not be allocated");
        encoderInstance =
            std::make_unique<EncoderInstance>(*encoderSettings, *instancePaths, *config, std::move(parts));
        networkInterfaces = std::make_unique<kestrava::net::NetworkInterfaceCache>();
    } catch (...) {
        encoderInstance.reset();
        if (stopAudioLibrary) stopAudioLibrary();
        throw;
    }
}

std::int32_t KestravaParameters::networkInterfaceCount() {
    if (!networkInterfaces->isListed()) networkInterfaces->refreshNetworkInterfaces();
    return static_cast<std::int32_t>(networkInterfaces->count());
}

kestrava::net::NetworkInterface KestravaParameters::getNetworkInterface(std::int32_t n) {
    return networkInterfaces->at(n);
}

KestravaParameters::~KestravaParameters() {
    encoderInstance.reset();
    // The wrapper lives on to the end of the process; it must not report through this
    // configuration any more.
    if (stopAudioLibrary) stopAudioLibrary();
    networkInterfaces.reset();
    encoderSettings.reset();
    config.reset();
    status.reset();
}
