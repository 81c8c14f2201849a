#include "audio/soundcard/PortaudioInitializer.h"

#include "logging/KestravaInstanceConfig.h"

namespace kestrava::audio::soundcard {

PortaudioInitializer::PortaudioInitializer(AudioBackend& backend_, const std::atomic<KestravaInstanceConfig*>& config_)
    : backend(backend_), config(config_) {
    const PaError result = backend.initialize();
    if (result == paNoError) {
        initialized = true;
        return;
    }
    KestravaInstanceConfig* c = config.load();
    if (c == nullptr) return;
    const char* text = backend.errorText(result);
    c->statusMessages.postTimedStatusMessage(StatusWarning, 0, "Failed to initialize portaudio: {}", text);
    c->logger.log(1, KestravaLogger::Critical, "Failed to initialize portaudio: {}", text);
    c->statusMessages.postStatusText(StatusWarning, "Cannot list audio devices...");
    c->logger.log(1, KestravaLogger::Warning, "Cannot list audio devices...");
}

PortaudioInitializer::~PortaudioInitializer() {
    if (!initialized) return;
    const PaError result = backend.terminate();
    KestravaInstanceConfig* c = config.load();
    if (result != paNoError && c != nullptr) {
        c->logger.log(1, KestravaLogger::Error, "Failed to terminate portaudio: {}", backend.errorText(result));
    }
}

}  // namespace kestrava::audio::soundcard
