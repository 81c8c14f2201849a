#pragma once

#include "audio/soundcard/AudioBackend.h"
#include "audio/soundcard/FakeSoundcardStream.h"

#include <memory>
#include <vector>

class KestravaInstanceConfig;

namespace kestrava::audio::soundcard {

// A sound card without hardware, behind the same seam as the audio library: one input device,
// "Fake sound card" on the host API "Fake", whose streams deliver silence (or the composite signal
// given) in blocks of 1024 frames at the stream's rate. For debugging and for running the whole
// input path on machines without a sound card.
class FakeSoundcardBackend final : public AudioBackend {
public:
    static constexpr const char* deviceName = "Fake sound card";
    static constexpr const char* hostApiName = "Fake";

    explicit FakeSoundcardBackend(KestravaInstanceConfig* config, CompositeSignal signal = {},
                                  PacingClock& clock = realPacingClock());
    ~FakeSoundcardBackend() override;

    PaError initialize() override { return paNoError; }
    PaError terminate() override { return paNoError; }
    PaDeviceIndex getDeviceCount() override { return 1; }
    const PaDeviceInfo* getDeviceInfo(PaDeviceIndex device) override;
    const PaHostApiInfo* getHostApiInfo(PaHostApiIndex hostApi) override;
    PaDeviceIndex getDefaultInputDevice() override { return 0; }
    PaDeviceIndex getDefaultOutputDevice() override { return paNoDevice; }
    PaError isFormatSupported(const PaStreamParameters* input, const PaStreamParameters* output,
                              double sampleRate) override;
    PaError openStream(PaStream** stream, const PaStreamParameters* input, const PaStreamParameters* output,
                       double sampleRate, unsigned long framesPerBuffer, PaStreamFlags flags,
                       PaStreamCallback* callback, void* userData) override;
    PaError setStreamFinishedCallback(PaStream* stream, PaStreamFinishedCallback* callback) override;
    PaError startStream(PaStream* stream) override;
    PaError stopStream(PaStream* stream) override;
    PaError closeStream(PaStream* stream) override;
    const char* errorText(PaError code) const override { return Pa_GetErrorText(code); }

private:
    struct OpenStream;
    OpenStream* find(PaStream* stream);

    KestravaInstanceConfig* config;
    CompositeSignal signal;
    PacingClock& clock;
    PaDeviceInfo device{};
    PaHostApiInfo hostApi{};
    std::vector<std::unique_ptr<OpenStream>> streams;  // wrapper thread only
};

}  // namespace kestrava::audio::soundcard
