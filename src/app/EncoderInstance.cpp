#include "app/EncoderInstance.h"

#include "logging/KestravaInstanceConfig.h"

#include <stdexcept>

EncoderInstance::EncoderInstance(kestrava::settings::EncoderSettings& settings_,
                                 const InstancePaths& paths, KestravaInstanceConfig& config_,
                                 EngineParts parts_)
    : config(config_), parts(std::move(parts_)), settings(settings_) {
    parts.wireLogging(config, paths);
    try {
        auto* made = new KestravaStandaloneEncoderController(config, parts);
        if (made == nullptr) throw std::runtime_error("the encoder controller could not be allocated");
        controller.reset(made);
        controller->startThread();
        // The histories of raw sound-card input and of input after the input stage (only the
        // second wakes per-client readers), with their taps in sample-hook slots 0 and 1.
        SampleHistories histories = parts.makeHistories(config);
        inputHistory = std::move(histories.input);
        rawInputHistory = std::move(histories.raw);
        if (!inputHistory || !rawInputHistory) throw std::runtime_error("a sample history could not be allocated");
    } catch (...) {
        controller.reset();
        stopLogger();
        throw;
    }
}

EncoderInstance::~EncoderInstance() {
    if (controller) {
        controller->requestStop();
        controller->joinThread();
    }
    // Lines logged from here on (the engine's own shut-down) are lost, as the logger stops first.
    stopLogger();
    controller.reset();
    inputHistory.reset();
    rawInputHistory.reset();
}

void EncoderInstance::stopLogger() { config.logger.stop(); }

void EncoderInstance::setStreamKey(const std::string& key) {
    config.engine.setText(EngineSettings::TextStreamKey2, key);
    applySettings();
}
