#include "app/OfflineChain.h"

#include "audio/AudioSource.h"
#include "audio/demod/DemodulatorCycle.h"
#include "audio/demod/MPXD.h"
#include "codec/frame/FrameEncodeStep.h"
#include "app/TRPFrameSender.h"
#include "gps/ScriptedNmeaStamper.h"
#include "logging/EngineSettings.h"
#include "logging/KestravaInstanceConfig.h"
#include "logging/StdoutLogSink.h"
#include "net/StreamEncryptor.h"
#include "transport/PacketSink.h"
#include "transport/TRPSender.h"

#include <algorithm>
#include <vector>

using kestrava::codec::frame::FrameEncodeStep;
using kestrava::codec::frame::FrameObserver;

namespace TRP = kestrava::transport::TRP;
using kestrava::transport::TRPSender;

namespace {

constexpr std::uint32_t interpolatedRate = 176400;

// An audio source that never runs a thread: the chain claims its blocks itself.
class OfflineSource final : public AudioSource {
public:
    OfflineSource(KestravaInstanceConfig* config, std::unique_ptr<EncodeStep> step)
        : AudioSource(nullptr, config, std::move(step), FeedThread::None) {}
    void start() override {}
    void stop() override {}
};

// Protects each packet as the send thread would and hands it on.
class ProtectingSink final : public TRP::PacketSink {
public:
    explicit ProtectingSink(KestravaInstanceConfig* config) : encryptor(config) {}
    void enqueue(const std::uint8_t* data, std::uint32_t length, TRP::Priority) override {
        if (length > TRPSender::maxPacketBytes) return;
        std::copy_n(data, length, buffer.data());
        const std::uint32_t n = encryptor.protect(buffer.data(), length, static_cast<std::uint32_t>(buffer.size()));
        if (n != 0 && callback && *callback) (*callback)(buffer.data(), n);
    }
    const OfflineChain::PacketCallback* callback = nullptr;

private:
    kestrava::net::StreamEncryptor encryptor;
    std::array<std::uint8_t, TRPSender::maxPacketBytes + 1> buffer{};
};

class PlaneForwarder final : public FrameObserver {
public:
    void frameSent(const float* input, const float* reconstruction, std::uint32_t stride, std::uint32_t n) override {
        if (inputCallback && *inputCallback) (*inputCallback)({input, input + stride, input + 2 * stride}, n);
        if (reconstructionCallback && *reconstructionCallback) {
            (*reconstructionCallback)({reconstruction, reconstruction + stride, reconstruction + 2 * stride}, n);
        }
    }
    const OfflineChain::PlanesCallback* inputCallback = nullptr;
    const OfflineChain::PlanesCallback* reconstructionCallback = nullptr;
};

std::string hexText(const std::array<std::uint8_t, 16>& key) {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string text;
    for (const std::uint8_t b : key) {
        text.push_back(digits[b >> 4]);
        text.push_back(digits[b & 15]);
    }
    return text;
}

KestravaInstanceConfig* makeConfig(const OfflineChainOptions& o) {
    const bool interpolated = o.inputRate == interpolatedRate;
    auto* config = new KestravaInstanceConfig(interpolated ? 176400 : 192000, interpolated ? 1911 : 2040);
    EngineSettings& e = config->engine;
    e.codecVersion.store(o.version);
    e.bitrate.store(o.kbps);
    e.plusMode.store(o.plusMode);
    e.variableBitrate.store(o.variableBitRate);
    if (o.vbrMaxKbps > 0) e.vbrMaxBitrate.store(o.vbrMaxKbps);
    e.redundancyDelay.store(o.groupFrames > 0 && o.recoveryPackets > 0 ? o.groupFrames : 0);
    e.redundancyOverhead.store(o.groupFrames > 0 && o.recoveryPackets > 0 ? o.recoveryPackets : 0);
    e.resetInterval.store(o.resetInterval);
    if (o.key) {
        e.setText(EngineSettings::TextStreamKey1, hexText(*o.key));
        e.streamProtection.store(true);
    }
    config->values.inputSampleRate.store(static_cast<std::int32_t>(o.inputRate));
    config->values.nominalSampleRate.store(static_cast<std::int32_t>(o.inputRate));
    return config;
}

}  // namespace

struct OfflineChain::Parts {
    explicit Parts(const OfflineChainOptions& o)
        : config(makeConfig(o)),
          sink(config.get()),
          sender(config.get(), sink, [] { return 0u; }),
          frameSender(sender) {}

    std::unique_ptr<KestravaInstanceConfig> config;
    ProtectingSink sink;
    TRPSender sender;
    TRPFrameSender frameSender;
    PlaneForwarder forwarder;
    std::unique_ptr<kestrava::gps::ScriptedNmeaStamper> gps;
    FrameEncodeStep* step = nullptr;  // owned by the source
    std::unique_ptr<OfflineSource> source;
    std::unique_ptr<MPXD> demodulator;
    std::vector<DemodulatedSample> records;
    std::string error;
};

OfflineChain::OfflineChain(const OfflineChainOptions& o) : parts(std::make_unique<Parts>(o)) {
    Parts& p = *parts;
    if (o.inputRate < MPXD::minSampleRate || o.inputRate > MPXD::maxSampleRate) {
        p.error = "input rate outside the demodulator's range";
        return;
    }
    if (o.inputRate != interpolatedRate && o.inputRate % KestravaInstanceConfig::codecSampleRate != 0) {
        p.error = "input rate must be 176400 Hz or a whole multiple of 38400 Hz";
        return;
    }
    if (o.version < 0 || o.version > 3) {
        p.error = "codec version outside 0..3";
        return;
    }
    p.demodulator = std::make_unique<MPXD>(p.config.get());
    if (!p.demodulator->transformsAvailable()) {
        p.error = "no FFT plan for the demodulator";
        return;
    }
    p.demodulator->setSampleRate(o.inputRate);
    p.demodulator->reset();
    if (o.nmeaSynthetic) {
        p.gps = std::make_unique<kestrava::gps::ScriptedNmeaStamper>(*p.config, o.inputRate, kestrava::gps::SyntheticNmea());
    } else if (o.nmea) {
        p.gps = std::make_unique<kestrava::gps::ScriptedNmeaStamper>(*p.config, o.inputRate, *o.nmea);
    }
    p.config->engine.gpsTimeEncoding.store(p.gps != nullptr);
    auto step = std::make_unique<FrameEncodeStep>(p.config.get(), &p.frameSender, p.gps.get());
    p.step = step.get();
    p.source = std::make_unique<OfflineSource>(p.config.get(), std::move(step));
    p.records.resize(MPXD::hop);
    p.sink.callback = &onPacket;
    p.forwarder.inputCallback = &onInput;
    p.forwarder.reconstructionCallback = &onReconstruction;
    p.step->setFrameObserver(&p.forwarder);
}

OfflineChain::~OfflineChain() = default;

const std::string& OfflineChain::error() const { return parts->error; }

void OfflineChain::logToStderr(bool everything) {
    auto sink = std::make_shared<KestravaLogger::StdoutLogSink>(stderr);
    if (!everything) sink->minLevel = KestravaLogger::Error;
    parts->config->logger.addSink(sink);
    parts->config->logger.enable();
}

void OfflineChain::feed(const float* composite, std::size_t count) {
    Parts& p = *parts;
    if (!p.error.empty()) return;
    MPXD::Ring& input = p.demodulator->inputBuffer();
    while (count > 0) {
        // Never more than the demodulator's ring takes at once; it is emptied below.
        const auto n = static_cast<std::uint32_t>(std::min<std::size_t>(count, MPXD::hop));
        input.write(composite, n);
        composite += n;
        count -= n;
        // The demodulator thread's cycle, then the feed thread's claim and block step.
        while (runDemodulatorCycle(*p.demodulator, p.records.data(), *p.source)) p.source->encodeWaitingBlocks();
    }
}
