#include "app/EngineParts.h"

#include "audio/InputHistories.h"
#include "logging/KestravaInstanceConfig.h"
#include "logging/SetupLogging.h"
#include "net/Sender.h"


namespace {

// The encoder's UDP output: its destination commands go straight into the sender's ring.
class NetworkSender : public SenderControl {
public:
    explicit NetworkSender(KestravaInstanceConfig& config) : sender(&config) {}
    std::int32_t queueOpen(const std::string& host, const std::string& port, const std::string& interfaceName,
                           bool qos) override {
        return sender.submitAdd(host, port, interfaceName, qos);
    }
    bool queueErase(std::int32_t destinationId) override { return sender.submitErase(destinationId); }

private:
    Networking::Sender sender;
};

// Until the sound-card input exists: a source that delivers nothing.
class IdleSoundcardSource : public AudioSourceControl {
public:
    IdleSoundcardSource(KestravaInstanceConfig& config, std::int32_t index) : config(config), index(index) {}
    void start() override {
        if (index < 0) {
            config.logger.log(1, KestravaLogger::Info, "No sound-card input selected");
            return;
        }
        config.logger.log(1, KestravaLogger::Info,
                          "Sound-card input {} selected; audio capture is not available in this build", index);
    }
    void stop() override {}
    bool isSoundcardSource() const override { return true; }
    void changeSoundcard(std::int32_t newIndex) override { index = newIndex; }
    void setFailureMode(std::uint8_t) override {}

private:
    KestravaInstanceConfig& config;
    std::int32_t index;
};

// A sample history as the apply step sees it: only its rate changes.
class HistoryRate : public SampleHistoryControl {
public:
    explicit HistoryRate(std::shared_ptr<OldSamples> history) : history(std::move(history)) {}
    void setSampleRate(float sampleRate) override {
        history->storedRate = sampleRate * static_cast<float>(history->rateFactor);
    }
    bool hasReaderEvents() const override { return history->hasReaderEvents(); }

private:
    std::shared_ptr<OldSamples> history;
};

std::shared_ptr<SampleHistoryControl> rateOf(std::shared_ptr<OldSamples> history) {
    if (!history) return {};
    return std::make_shared<HistoryRate>(std::move(history));
}

}  // namespace

EngineParts engineParts() {
    EngineParts parts;
    parts.wireLogging = [](KestravaInstanceConfig& config, const InstancePaths& paths) {
        setupLogging(config, paths.logFolder);
    };
    parts.makeSender = [](KestravaInstanceConfig& config) { return std::make_unique<NetworkSender>(config); };
    parts.makeSoundcardSource = [](SenderControl&, std::int32_t index, KestravaInstanceConfig& config) {
        return std::make_unique<IdleSoundcardSource>(config, index);
    };
    parts.makeHistories = [](KestravaInstanceConfig& config) {
        const InputHistories histories = InputHistories::install(config);
        return SampleHistories{rateOf(histories.rawInputHistory), rateOf(histories.inputHistory)};
    };
    return parts;
}
