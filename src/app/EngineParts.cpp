#include "app/EngineParts.h"

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

// Until the sample histories exist: the rate is all they are told.
class RateOnlyHistory : public SampleHistoryControl {
public:
    RateOnlyHistory(float rate, bool events) : rate(rate), events(events) {}
    void setSampleRate(float sampleRate) override { rate = sampleRate; }
    bool hasReaderEvents() const override { return events; }

private:
    float rate;
    bool events;
};

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
    parts.makeHistory = [](float rate, bool events) { return std::make_shared<RateOnlyHistory>(rate, events); };
    return parts;
}
