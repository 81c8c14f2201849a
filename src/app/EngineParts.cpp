#include "app/EngineParts.h"

#include "app/EncoderOutput.h"
#include "platform/ErrorState.h"
#include "app/KestravaStandaloneEncoderController.h"
#include "app/SoundcardSourceControl.h"
#include "audio/InputHistories.h"
#include "audio/soundcard/FakeSoundcardBackend.h"
#include "audio/soundcard/PortaudioWrapper.h"
#include "app/SoundcardAudioSource.h"
#include "codec/frame/FrameEncodeStep.h"
#include "gps/GpsTimeSync.h"
#include "logging/KestravaInstanceConfig.h"
#include "logging/SetupLogging.h"

using kestrava::codec::frame::FrameEncodeStep;
using kestrava::codec::frame::FrameSender;

namespace {

// The encode step of the running encoder with the GPS synchroniser it stamps from, so that the
// audio source that owns the step owns the synchroniser too (and stops its reader with it).
struct GpsHolder {
    std::unique_ptr<kestrava::gps::GpsTimeSync> synchroniser;
};
class StampedEncodeStep : private GpsHolder, public FrameEncodeStep {
public:
    StampedEncodeStep(KestravaInstanceConfig& config, FrameSender* frames)
        : GpsHolder{std::make_unique<kestrava::gps::GpsTimeSync>(config)}, FrameEncodeStep(&config, frames, synchroniser.get()) {}
};

std::unique_ptr<EncodeStep> makeEncodeStep(KestravaInstanceConfig& config, FrameSender* frames) {
    if (frames == nullptr) return nullptr;
    // A failed allocation has been reported; the source then drains its input without coding.
    return std::unique_ptr<EncodeStep>(new StampedEncodeStep(config, frames));
}

// A sample history as the apply step sees it: only its rate changes.
class HistoryRate : public SampleHistoryControl {
public:
    explicit HistoryRate(std::shared_ptr<OldSamples> history) : history(std::move(history)) {}
    void setSampleRate(float sampleRate) override {
        history->storedRate = sampleRate * static_cast<float>(history->rateFactor);
    }
    bool hasReaderEvents() const override { return history->hasReaderEvents(); }
    void waitForInput(int view, std::chrono::milliseconds timeout) override { history->waitForInput(view, timeout); }
    void captureViewPair(int view) override {
        history->captureView(view);
        history->captureView(view + 1);
    }
    OldSamples* samples() override { return history.get(); }

private:
    std::shared_ptr<OldSamples> history;
};

std::shared_ptr<SampleHistoryControl> rateOf(std::shared_ptr<OldSamples> history) {
    if (!history) return {};
    return std::make_shared<HistoryRate>(std::move(history));
}

}  // namespace

EngineParts engineParts(AudioInputChoice input) {
    PortaudioWrapper* wrapper = input.wrapper != nullptr ? input.wrapper : &PortaudioWrapper::instance();
    EngineParts parts;
    parts.startAudioLibrary = [wrapper, fake = input.fakeSoundcard,
                               signal = std::move(input.fakeSignal)](KestravaInstanceConfig& config) {
        if (fake && !wrapper->replaceBackend(std::make_unique<FakeSoundcardBackend>(&config, signal))) {
            // Only a wrapper that has not started takes another backend; a second instance of
            // the process shares the library of the first.
            config.statusMessages.postStatusText(StatusWarning, "The fake sound card cannot replace a running audio library");
        }
        wrapper->start(&config);
    };
    parts.stopAudioLibrary = [wrapper] { wrapper->stopReporting(); };
    parts.findDefaultInputDevice = [wrapper](KestravaInstanceConfig& config) {
        return wrapper->findDefaultInputDevice(config);
    };
    parts.wireLogging = [](KestravaInstanceConfig& config, const InstancePaths& paths) {
        setupLogging(config, paths.logFolder);
    };
    parts.makeSender = [](KestravaInstanceConfig& config) { return std::make_unique<EncoderOutput>(config); };
    parts.makeSoundcardSource = [wrapper](SenderControl& sender, std::int32_t index,
                                          KestravaInstanceConfig& config) -> std::unique_ptr<AudioSourceControl> {
        std::unique_ptr<SoundcardAudioSource> source(
            new SoundcardAudioSource(sender.transportSender(), makeEncodeStep(config, sender.frameSender()), index,
                                     &config, *wrapper));
        if (!source) return nullptr;  // the allocator has reported it
        source->setTiltErrorRecorder(ErrorState::record);
        source->setStopRequester([&config] {
            if (KestravaStandaloneEncoderController* controller = config.controller.load()) controller->requestStop();
        });
        return std::make_unique<SoundcardSourceControl>(config, std::move(source));
    };
    parts.makeHistories = [](KestravaInstanceConfig& config) {
        const InputHistories histories = InputHistories::install(config);
        return SampleHistories{rateOf(histories.rawInputHistory), rateOf(histories.inputHistory)};
    };
    return parts;
}
