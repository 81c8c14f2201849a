#pragma once

#include "app/AppliedSettings.h"
#include "settings/EncoderSettings.h"
#include "app/EngineParts.h"
#include "model/InstancePaths.h"
#include "app/KestravaStandaloneEncoderController.h"
#include "app/SampleHistoryControl.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

class KestravaInstanceConfig;
class ParSet;

// The stand-alone encoder inside an instance: the log wiring, the encoder controller with its
// thread, the two sample histories, and the copy of the settings that applySettings pushed last.
// Construction fails with an exception (and nothing left running) when a part cannot be made.
class EncoderInstance {
public:
    EncoderInstance(kestrava::settings::EncoderSettings& settings, const InstancePaths& paths,
                    KestravaInstanceConfig& config, EngineParts parts);
    ~EncoderInstance();

    EncoderInstance(const EncoderInstance&) = delete;
    EncoderInstance& operator=(const EncoderInstance&) = delete;

    // Pushes every setting that differs from the applied copy into the engine. Calls from the
    // application thread, the web workers and the options are serialised.
    void applySettings();
    // Stores a new pending stream key and applies the settings.
    void setStreamKey(const std::string& key);
    void stopLogger();

    ParSet* parSet = nullptr;  // set once the settings file has been loaded

    const AppliedSettings& applied() const { return appliedCopy; }
    KestravaStandaloneEncoderController& encoderController() { return *controller; }
    SampleHistoryControl& rawHistory() { return *rawInputHistory; }
    SampleHistoryControl& history() { return *inputHistory; }
    // For users that outlive a lock on the instance (the web server's waits).
    std::shared_ptr<SampleHistoryControl> sharedRawHistory() const { return rawInputHistory; }
    std::shared_ptr<SampleHistoryControl> sharedHistory() const { return inputHistory; }

private:
    void applyDestination(int row, bool active);
    bool refuseOnce(bool bad, std::int64_t value, std::int64_t& lastRefused, const char* what);

    KestravaInstanceConfig& config;
    EngineParts parts;
    kestrava::settings::EncoderSettings& settings;
    std::shared_ptr<SampleHistoryControl> rawInputHistory;
    std::shared_ptr<SampleHistoryControl> inputHistory;
    std::shared_ptr<KestravaStandaloneEncoderController> controller;
    std::mutex applyMutex;
    AppliedSettings appliedCopy;
    std::int64_t lastRefusedCodecVersion = INT64_MIN;
    std::int64_t lastRefusedBitrate = INT64_MIN;
    std::int64_t lastRefusedFec = INT64_MIN;
};
