// With no sound hardware, an ALSA "null" capture pcm defined in a private configuration stands in
// for a sound card: the real audio library lists it and a stream opens on it.
#include "audio/soundcard/PortAudioBackend.h"
#include "audio/soundcard/PortAudioSoundcardStream.h"
#include "audio/soundcard/PortaudioWrapper.h"
#include "audio/WaitUntil.h"
#include "logging/KestravaInstanceConfig.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>

using kestrava::audio::soundcard::PortAudioBackend;
using kestrava::audio::soundcard::PortAudioSoundcardStream;
using kestrava::audio::soundcard::PortaudioWrapper;

namespace {

// Points HOME at a folder of the test's own for its lifetime.
class ScopedHome {
public:
    explicit ScopedHome(const std::string& home) {
        if (const char* old = std::getenv("HOME")) previous = old;
        setenv("HOME", home.c_str(), 1);
    }
    ~ScopedHome() {
        if (previous) {
            setenv("HOME", previous->c_str(), 1);
        } else {
            unsetenv("HOME");
        }
    }

private:
    std::optional<std::string> previous;
};

}  // namespace

TEST(AlsaNullSmoke, PrivateNullPcmIsListedAndOpens) {
    kestrava::test::TempDir home;
    std::ofstream(home.path() / ".asoundrc") << "pcm.kestrava_null {\n    type null\n}\n";
    ScopedHome scopedHome(home.str());

    KestravaInstanceConfig config(192000, 2040);
    config.values.streamWaitSeconds = 0.01f;
    PortaudioWrapper wrapper(std::make_unique<PortAudioBackend>());
    wrapper.start(&config);

    int index = -1;
    for (const auto& entry : wrapper.listDevices(config, 1)) {
        if (entry.name == "kestrava_null (ALSA)") index = entry.deviceIndex;
    }
    if (index < 0) {
        GTEST_SKIP() << "the audio library's ALSA host API does not offer the private null pcm "
                        "(ALSA host API missing, or the pcm cannot be opened at 192000 Hz)";
    }
    PortAudioSoundcardStream stream(config, wrapper, index);
    stream.start();
    const auto stamp = stream.lastCallbackTimeNs();
    ASSERT_TRUE(waitUntil([&] { return stream.lastCallbackTimeNs() != stamp; })) << "no callback from the null pcm";
    stream.stop();
    EXPECT_FALSE(stream.isRunning());
}
