// audio --list | --open N: the sound cards as the settings' choice lists show them, and a test
// stream on one of them.
//   kestrava-tool audio --list [--rate HZ] [--verbose]
//   kestrava-tool audio --open N [--seconds S] [--rate HZ] [--fake [FILE]] [--verbose]
// --fake puts the fake sound card (silence, or the float32 composite signal of FILE) in place of
// the audio library. --verbose prints the log on standard output.
#include "tool/Commands.h"

#include "audio/InputRateMeter.h"
#include "audio/soundcard/CompositeFileSignal.h"
#include "audio/soundcard/FakeSoundcardBackend.h"
#include "audio/soundcard/PortAudioBackend.h"
#include "audio/soundcard/PortaudioWrapper.h"
#include "audio/soundcard/SoundcardInputStream.h"
#include "logging/KestravaInstanceConfig.h"
#include "logging/StdoutLogSink.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

using kestrava::audio::soundcard::AudioBackend;
using kestrava::audio::soundcard::CompositeFileSignal;
using kestrava::audio::soundcard::CompositeSignal;
using kestrava::audio::soundcard::FakeSoundcardBackend;
using kestrava::audio::soundcard::PortAudioBackend;
using kestrava::audio::soundcard::PortaudioWrapper;
using kestrava::audio::soundcard::SoundcardInputStream;
using kestrava::audio::soundcard::realSteadyClock;

using kestrava::audio::InputRateMeter;
using kestrava::audio::SoundcardInputStage;

namespace {

struct Options {
    bool list = false;
    bool open = false;
    int device = -1;
    double seconds = 2.0;
    int rate = 192000;
    bool fake = false;
    std::string fakeFile;
    bool verbose = false;
};

int usage(std::FILE* out = stderr) {
    std::fprintf(out,
                 "usage: kestrava-tool audio --list [--rate HZ] [--verbose]\n"
                 "       kestrava-tool audio --open N [--seconds S] [--rate HZ] [--fake [FILE]] [--verbose]\n"
                 "  --list       the input and output devices\n"
                 "  --open N     a test stream on device N (-1..1000000) for S seconds (0..3600, default 2)\n"
                 "  --rate HZ    192000 (default) or 176400\n"
                 "  --fake       the fake sound card: silence, or FILE (float32 little-endian composite\n"
                 "               samples, a regular file of at most 256 MiB) in a loop\n"
                 "  --verbose    the log on standard output\n");
    return out == stdout ? 0 : 2;
}

bool parseInt(const char* text, int& out) {
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || v < -1 || v > 1000000) return false;
    out = static_cast<int>(v);
    return true;
}

bool parseOptions(int argc, char** argv, Options& o) {
    for (int i = 0; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "--list") {
            o.list = true;
        } else if (a == "--open" && hasValue) {
            o.open = true;
            if (!parseInt(argv[++i], o.device)) return false;
        } else if (a == "--seconds" && hasValue) {
            char* end = nullptr;
            o.seconds = std::strtod(argv[++i], &end);
            if (*end != '\0' || !(o.seconds >= 0.0 && o.seconds <= 3600.0)) return false;
        } else if (a == "--rate" && hasValue) {
            if (!parseInt(argv[++i], o.rate) || (o.rate != 192000 && o.rate != 176400)) return false;
        } else if (a == "--fake") {
            o.fake = true;
            if (hasValue && std::strncmp(argv[i + 1], "--", 2) != 0) o.fakeFile = argv[++i];
        } else if (a == "--verbose") {
            o.verbose = true;
        } else {
            return false;
        }
    }
    return o.list != o.open;
}

// Counts what reaches the input stage.
class CountingStage final : public SoundcardInputStage {
public:
    void feedInput(float* samples, std::uint32_t count) override {
        float peak = peakLevel.load(std::memory_order_relaxed);
        for (std::uint32_t i = 0; i < count; ++i) peak = std::fmax(peak, std::fabs(samples[i]));
        peakLevel.store(peak, std::memory_order_relaxed);
        frames.fetch_add(count, std::memory_order_relaxed);
    }
    std::atomic<std::uint64_t> frames{0};
    std::atomic<float> peakLevel{0.0f};
};

void printList(PortaudioWrapper& wrapper, KestravaInstanceConfig& config, const char* title, int direction) {
    std::printf("%s:\n", title);
    const auto entries = wrapper.listDevices(config, direction);
    if (entries.empty()) std::printf("  (none)\n");
    for (const auto& e : entries) std::printf("  %d: %s\n", e.deviceIndex, e.displayName.c_str());
}

}  // namespace

int runAudioCommand(int argc, char** argv) {
    if (wantsHelp(argc, argv)) return usage(stdout);
    Options o;
    if (!parseOptions(argc, argv, o)) return usage();

    KestravaInstanceConfig config(o.rate, o.rate == 192000 ? 2040 : 1911);
    if (o.verbose) config.logger.addSink(std::make_shared<KestravaLogger::StdoutLogSink>());
    config.logger.enable();

    std::unique_ptr<AudioBackend> backend;
    if (o.fake) {
        CompositeSignal signal;
        if (!o.fakeFile.empty()) {
            auto file = std::make_shared<CompositeFileSignal>(o.fakeFile);
            if (file->empty()) {
                std::fprintf(stderr, "kestrava-tool audio: %s\n", file->error().c_str());
                return 1;
            }
            signal = [file](float* block, std::uint32_t count) { (*file)(block, count); };
        }
        backend = std::make_unique<FakeSoundcardBackend>(&config, std::move(signal));
    } else {
        backend = std::make_unique<PortAudioBackend>();
    }
    PortaudioWrapper wrapper(std::move(backend));
    wrapper.start(&config);

    int status = 0;
    if (o.list) {
        printList(wrapper, config, "Input devices", 1);
        printList(wrapper, config, "Output devices", 0);
        std::printf("Default input device: %d\n", wrapper.findDefaultInputDevice(config));
    } else {
        CountingStage stage;
        InputRateMeter rate(static_cast<std::uint32_t>(config.values.inputSampleRate.load()),
                                  realSteadyClock().nowNs());
        {
            SoundcardInputStream stream(config, wrapper, o.device, stage, rate);
            stream.start();
            std::this_thread::sleep_for(std::chrono::duration<double>(o.seconds));
            stream.stop();
        }
        const std::uint64_t frames = stage.frames.load();
        std::printf("Device %d: %llu frames, peak %.6f, measured rate %.3f Hz\n", o.device,
                    static_cast<unsigned long long>(frames), static_cast<double>(stage.peakLevel.load()),
                    rate.slowRate());
        if (frames == 0) status = 1;
    }
    wrapper.stopReporting();
    config.logger.stop();
    return status;
}
