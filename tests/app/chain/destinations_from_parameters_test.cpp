// The running encoder driven through its settings rows, as a browser drives it: the fake sound
// card plays the test signal, loopback receivers stand for the transmitter sites, and every
// change goes through the walks into the instance's apply. Destination 0 feeds a receiver that
// serves as the clock: once it has frames sent after a change, any destination still open would
// have had them too, so "nothing arrives" is checked against frames, not against time.
#include "../TreeOverInstance.h"
#include "app/EngineParts.h"
#include "app/ModelCommon.h"
#include "audio/soundcard/CompositeTestSignal.h"
#include "audio/soundcard/PortAudioBackend.h"
#include "audio/soundcard/PortaudioWrapper.h"
#include "logging/KestravaInstanceConfig.h"
#include "logging/RecordingSink.h"
#include "model/Model.h"
#include "net/UdpReceiver.h"
#include "params/PBool.h"
#include "params/PEnum.h"
#include "params/PInt.h"
#include "params/PListManager.h"
#include "params/PString.h"
#include "support/TempDir.h"
#include "transport/TransportPackets.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>

namespace {

using namespace kestrava;
using namespace kestrava::params;
using namespace kestrava::audio::soundcard;
using Clock = std::chrono::steady_clock;
using transporttest::Bytes;

constexpr std::uint32_t inputRate = 192000;

// The next frame packet (recovery packets skipped) that satisfies `wanted`; none when the chain
// delivers nothing for a long while.
std::optional<Bytes> nextFrame(nettest::UdpReceiver& r, const std::function<bool(const Bytes&)>& wanted = {}) {
    const auto giveUp = Clock::now() + std::chrono::seconds(30);
    while (Clock::now() < giveUp) {
        auto d = r.receive(2000);
        if (!d || d->bytes.size() < 2 || (d->bytes[1] & 0x80) != 0) continue;
        if (!wanted || wanted(d->bytes)) return d->bytes;
    }
    return std::nullopt;
}

// Throws away what has arrived so far.
void drain(nettest::UdpReceiver& r) {
    while (r.receive(0)) {
    }
}

// The bit rate in a frame's reset block (bytes 2 and 3 after the header, big-endian), if the
// frame carries one.
std::optional<int> resetBitRate(const Bytes& frame) {
    if ((frame[1] & 0x40) == 0) return std::nullopt;
    const auto h = transporttest::readFrameHeader(frame);
    return frame.at(h.headerBytes + 2) << 8 | frame.at(h.headerBytes + 3);
}

class DestinationsFromParameters : public testing::Test {
protected:
    void SetUp() override {
        setenv("XDG_CONFIG_HOME", (home.str() + "/config").c_str(), 1);
        setenv("XDG_STATE_HOME", (home.str() + "/state").c_str(), 1);
        for (auto* r : {&clock, &a, &b}) {
            ASSERT_TRUE(r->ok());
            r->enlargeBuffer(4 << 20);
        }
        EngineParts parts = engineParts({&wrapper, true, [signal = CompositeTestSignal(inputRate)](
                                                             float* block, std::uint32_t count) mutable {
                                             signal.generate(block, count);
                                         }});
        parts.wireLogging = [this](KestravaInstanceConfig& config, const InstancePaths&) {
            config.logger.addSink(log);
            config.logger.enable();
        };
        common.reset(new ModelCommon(&model, "kestrava-encoder", std::move(parts)));
        common->encoderSettings->inputDevice = 0;
        tree = std::make_unique<TreeOverInstance>(
            *common->encoderSettings, [this] { common->encoderInstance->applySettings(); },
            std::vector<SoundcardEntry>{{0, "Fake input (test)", "Fake input (test)"}});
        setRow(0, clock);
        change();
    }
    void TearDown() override {
        tree.reset();
        common.reset();
        if (HasFailure()) {
            for (const auto& line : log->snapshot()) std::printf("log: %s", line.c_str());
        }
    }

    // Destination i on, to a receiver, as a client types it.
    void setRow(int i, nettest::UdpReceiver& to) {
        tree->row<PString>(PARAM_KVRA_IP_0, i).applyChecked("127.0.0.1");
        tree->row<PInt>(PARAM_KVRA_Port_0, i).applyChecked(std::stoi(to.portText()));
        tree->row<PBool>(PARAM_KVRA_Enabled_0, i).applyChecked(true);
    }
    // What the web worker does after a request that changed parameters.
    void change() { tree->propagation->processParamChanges(); }

    // `silent` falls silent while `witness` keeps receiving: three frames in a row reach the
    // witness with nothing at `silent` in between. The sender takes its commands in order but
    // pauses after opening a destination, so this may take a second or two; a destination that
    // is never closed fails at the deadline.
    void expectFallsSilent(nettest::UdpReceiver& silent, nettest::UdpReceiver& witness) {
        const auto giveUp = Clock::now() + std::chrono::seconds(30);
        int quiet = 0;
        while (quiet < 3 && Clock::now() < giveUp) {
            drain(silent);
            if (!nextFrame(witness)) break;
            quiet = silent.receive(0) ? 0 : quiet + 1;
        }
        EXPECT_EQ(quiet, 3) << "a destination that no row shows still receives";
    }

    kestrava::test::TempDir home;
    std::shared_ptr<RecordingSink> log = std::make_shared<RecordingSink>(false);
    nettest::UdpReceiver clock{AF_INET, "127.0.0.1"};
    nettest::UdpReceiver a{AF_INET, "127.0.0.1"};
    nettest::UdpReceiver b{AF_INET, "127.0.0.1"};
    PortaudioWrapper wrapper{std::make_unique<PortAudioBackend>()};
    Model model;
    std::unique_ptr<ModelCommon> common;
    std::unique_ptr<TreeOverInstance> tree;
};

TEST_F(DestinationsFromParameters, SwitchingMovingAndClearingARowStartsMovesAndStopsItsPackets) {
    ASSERT_TRUE(nextFrame(clock)) << "destination 0 never received";

    setRow(1, a);
    change();
    ASSERT_TRUE(nextFrame(a)) << "switching destination 1 on sent nothing there";

    tree->row<PInt>(PARAM_KVRA_Port_0, 1).applyChecked(std::stoi(b.portText()));
    change();
    ASSERT_TRUE(nextFrame(b)) << "moving destination 1 sent nothing to its new port";
    expectFallsSilent(a, clock);

    // The client removes row 1 from the list: it is cleared and its destination closed.
    tree->row<PListManager>(PARAM_KVRA_OUTPUTCOUNT).deleteRow(3, 1);
    change();
    EXPECT_FALSE(tree->row<PBool>(PARAM_KVRA_Enabled_0, 1).current());
    expectFallsSilent(b, clock);

    // Removing the first of two rows moves the second up: the first one's destination closes,
    // the second keeps receiving.
    setRow(1, a);
    change();
    ASSERT_TRUE(nextFrame(a));
    tree->row<PListManager>(PARAM_KVRA_OUTPUTCOUNT).deleteRow(3, 0);
    change();
    EXPECT_EQ(tree->row<PInt>(PARAM_KVRA_Port_0, 0).current(), std::stoi(a.portText()));
    expectFallsSilent(clock, a);
}

TEST_F(DestinationsFromParameters, ABitRateSetInItsRowIsCarriedByTheNextResetPacket) {
    ASSERT_TRUE(nextFrame(clock, [](const Bytes& f) { return resetBitRate(f) == 320; }));
    ASSERT_TRUE(tree->row<PEnum>(PARAM_KVRA_Bitrate_V1).applyChecked(384));
    change();
    EXPECT_TRUE(nextFrame(clock, [](const Bytes& f) { return resetBitRate(f) == 384; }))
        << "no reset packet with the new bit rate";
}

}  // namespace
