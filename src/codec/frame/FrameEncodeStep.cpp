#include "codec/frame/FrameEncodeStep.h"

#include "codec/LegacyRateController.h"
#include "codec/RateController.h"
#include "codec/entropy/EntropyCoder.h"
#include "codec/frame/ByteConversions.h"
#include "codec/frame/FrameSender.h"
#include "codec/frame/GpsStamper.h"
#include "codec/frame/ResetPacket.h"
#include "logging/KestravaInstanceConfig.h"

#include <algorithm>
#include <cmath>

namespace kestrava::codec::frame {

using kestrava::codec::Encoder;
using kestrava::codec::LegacyEncoder;
using kestrava::codec::LegacyRateController;
using kestrava::codec::RateController;

using kestrava::codec::entropy::EntropyCoder;

namespace {
constexpr std::uint32_t interpolatedRate = 176400;
}

FrameEncodeStep::FrameEncodeStep(KestravaInstanceConfig* config_, FrameSender* sender_, GpsStamper* gps_)
    : rdsEncoder(config_),
      config(config_),
      sender(sender_),
      gps(gps_),
      coder(std::make_unique<EntropyCoder>(config_)),
      payload(std::make_unique<AudioPayload>()),
      bitrate(config_->engine.bitrate.load()),
      packetBuffer{},
      planes{},
      codes{},
      reconstruction(std::make_unique<float[]>(3 * planeStride)) {}

FrameEncodeStep::~FrameEncodeStep() = default;

void FrameEncodeStep::setFrameObserver(FrameObserver* observer_) {
    observer = observer_;
    if (observer != nullptr && !observedInput) observedInput = std::make_unique<float[]>(3 * planeStride);
}

std::array<float, 2> FrameEncodeStep::thirdPredictions() const {
    if (!floatEncoder) return {0.0f, 0.0f};
    const auto& third = floatEncoder->state.histories[2];
    return {third.lastPrediction, third.priorPrediction};
}

bool FrameEncodeStep::finiteReconstruction(const float* rebuilt, std::uint32_t m, float energy) {
    if (!std::isfinite(energy)) return false;
    const float* third = rebuilt + 2 * planeStride;
    float sum = 0.0f;  // any NaN or infinity makes it NaN
    for (std::uint32_t i = 0; i < m; ++i) sum = sum + (third[i] - third[i]);
    return sum == 0.0f;
}

void FrameEncodeStep::logOnce(bool& flag, const char* text) {
    if (flag) return;
    flag = true;
    config->logger.log(1, KestravaLogger::Error, "{}", text);
}

std::uint32_t FrameEncodeStep::convertPlanes(const DemodulatedSample* r, std::uint32_t n, std::uint32_t inputRate) {
    float* a = planes;
    float* b = planes + planeStride;
    float* c = planes + 2 * planeStride;
    if (n == 0) return 0;
    if (static_cast<std::uint32_t>(config->sampleRate) == interpolatedRate) {
        const float ratio = static_cast<float>(inputRate) / 38400.0f;
        if (!(ratio >= 1.0f)) return 0;
        const std::uint32_t m = std::min(frame_bytes::truncateUnsigned(static_cast<float>(n) / ratio + 0.5f, planeStride),
                                         planeStride);
        for (std::uint32_t i = 0; i < m; ++i) {
            const float pos = static_cast<float>(i) * ratio;
            const std::uint32_t k = std::min(frame_bytes::truncateUnsigned(pos, n - 1), n - 1);
            const float f = pos - static_cast<float>(k);
            const std::uint32_t k1 = std::min(k + 1, n - 1);  // never past the block
            a[i] = r[k].left * (1.0f - f) + r[k1].left * f;
            b[i] = r[k].right * (1.0f - f) + r[k1].right * f;
            c[i] = r[k].quad * (1.0f - f) + r[k1].quad * f;
        }
        return m;
    }
    constexpr auto codecRate = static_cast<std::uint32_t>(KestravaInstanceConfig::codecSampleRate);
    if (inputRate < codecRate || inputRate % codecRate != 0) return 0;
    const std::uint32_t step = inputRate / codecRate;
    const std::uint32_t m = n / step;
    for (std::uint32_t i = 0; i < m; ++i) {
        a[i] = r[i * step].left;
        b[i] = r[i * step].right;
        c[i] = r[i * step].quad;
    }
    return m;
}

bool FrameEncodeStep::ensureGeneration(SourceSignals& signals, std::int32_t v) {
    if (v == 0) {
        if (legacyEncoder) return true;
        legacyEncoder.reset(new LegacyEncoder(config));
        doubleEncoder.reset();
        floatEncoder.reset();
        signals.forceReset.store(true, std::memory_order_relaxed);
        if (legacyEncoder && !legacyEncoder->ready()) legacyEncoder.reset();
        return legacyEncoder != nullptr;
    }
    if (v == 1 || v == 2) {
        if (doubleEncoder) return true;
        doubleEncoder.reset(new Encoder<double, 0>(config));
        floatEncoder.reset();
        legacyEncoder.reset();
        signals.forceReset.store(true, std::memory_order_relaxed);
        if (doubleEncoder && !doubleEncoder->ready()) doubleEncoder.reset();
        return doubleEncoder != nullptr;
    }
    if (floatEncoder) return true;
    doubleEncoder.reset();  // its worker ends before the next one starts
    floatEncoder.reset(new Encoder<float, 4>(config));
    legacyEncoder.reset();
    signals.forceReset.store(true, std::memory_order_relaxed);
    if (floatEncoder && !floatEncoder->ready()) floatEncoder.reset();
    return floatEncoder != nullptr;
}

std::uint32_t FrameEncodeStep::prepareResetPacket(SourceSignals& signals, std::int32_t v) {
    const EngineSettings& e = config->engine;
    ResetPacket::Inputs in;
    in.bitRate = e.bitrate.load(std::memory_order_relaxed);
    in.codecVersion = v;
    in.plusMode = v >= 3 && e.plusMode.load(std::memory_order_relaxed);
    in.variableBitRate = in.plusMode && e.variableBitrate.load(std::memory_order_relaxed);
    in.vbrNoiseLevel = e.vbrNoiseLevel.load(std::memory_order_relaxed);
    in.vbrMaxBitRate = e.vbrMaxBitrate.load(std::memory_order_relaxed);
    in.pilotLevel = signals.pilotLevelRatio.load(std::memory_order_relaxed);
    in.rdsLevel = signals.rdsLevel.load(std::memory_order_relaxed);
    in.spectrumFlag = signals.demodulatorFlag.load(std::memory_order_relaxed);
    bitrate = in.bitRate;
    samplesSinceReset = 0;
    signals.forceReset.store(false, std::memory_order_relaxed);
    ResetPacket::Generations g{doubleEncoder.get(), floatEncoder.get(), legacyEncoder.get()};
    return ResetPacket::prepare(in, g, *coder, packetBuffer);
}

std::int32_t FrameEncodeStep::encodeAndSendBlock(const BlockView& block) {
    SourceSignals& signals = *block.signals;
    const std::uint32_t n = block.count;
    const std::uint32_t inputRate = block.inputRate;
    if (n == 0) return -1;
    if (block.inputWasReset) rdsEncoder.halfBitCount = 0;  // decisions of dropped input are stale
    const DemodulatedSample* records = block.records;

    float peak = 0.0f;
    for (std::uint32_t i = 0; i < n; ++i) peak = std::max(peak, std::fabs(records[i].mpx));

    float offset = -1.0f;
    std::int32_t stamp = 0;
    bool stamped = false;
    if (gps != nullptr) {
        if (config->engine.gpsTimeEncoding.load(std::memory_order_relaxed)) {
            if (!gps->started()) gps->start();
            double measuredRate = block.rateMeter != nullptr ? block.rateMeter->slowRate() : 0.0;
            if (config->engine.gpsResyncRequested.exchange(false, std::memory_order_relaxed)) {
                // The old marks belong to another input: start over, and so does the rate.
                gps->reset();
                if (block.rateMeter != nullptr) block.rateMeter->requestReseed();
                measuredRate = 0.0;
            }
            stamped = gps->process(n, measuredRate, offset, stamp);
        } else if (gps->started()) {
            gps->stop();
        }
    }

    const float inputRateF = static_cast<float>(inputRate);
    const std::uint32_t m = convertPlanes(records, n, inputRate);
    if (m == 0) {
        logOnce(reportedRate, "Input sample rate or block length not supported by the codec: block not coded");
        return -1;
    }

    const std::int32_t v = config->engine.codecVersion.load(std::memory_order_relaxed);
    if (v < 0 || v > 3) {
        logOnce(reportedVersion, "Codec version outside 0..3: block not coded");
        return -1;
    }
    if (!ensureGeneration(signals, v)) return -1;  // the next block tries again and carries the reset

    samplesSinceReset += n;
    const float interval = config->engine.resetInterval.load(std::memory_order_relaxed);
    const std::uint32_t threshold = frame_bytes::truncateUnsigned(inputRateF * interval, 0xFFFFFFFFu);
    std::uint32_t r = 0;
    if (samplesSinceReset > threshold || signals.forceReset.load(std::memory_order_relaxed)) {
        r = prepareResetPacket(signals, v);
    }

    rdsEncoder.bitStep = rdsEncoder.bitRate / inputRateF;
    rdsEncoder.decisionStep = rdsEncoder.bitStep;
    const std::uint32_t s = rdsEncoder.encodeBlock(records, n, packetBuffer + r + 2);
    const float level = 2.0f * std::sqrt(2.0f * rdsEncoder.power);
    signals.rdsLevel.store(std::min(level / 0.09f, 1.0f), std::memory_order_relaxed);

    float x = records[n - 1].pilot;
    if (x < 0.0f) x = x + 1.0f;
    const std::uint32_t u = frame_bytes::truncateUnsigned(x * 65536.0f, 0xFFFFFFFFu);
    packetBuffer[r] = static_cast<std::uint8_t>((u >> 8) & 0xFF);
    packetBuffer[r + 1] = static_cast<std::uint8_t>(u & 0xFF);

    float energy = 0.0f;
    std::uint32_t codeCount = 0;
    std::uint32_t silent = 1;
    // Always rebuilt: a block whose reconstruction is not finite is never sent (see below).
    float* const rebuilt = reconstruction.get();
    if (observer != nullptr) {
        // The coders filter their input in place: keep what came in.
        for (int c = 0; c < 3; ++c) std::copy_n(planes + c * planeStride, m, observedInput.get() + c * planeStride);
    }
    if (legacyEncoder) {
        silent = legacyEncoder->encodeBlock(planes, codes, m, &energy, &codeCount, rebuilt);
    } else if (doubleEncoder) {
        silent = doubleEncoder->encodeBlock(planes, codes, m, &energy, &codeCount, rebuilt);
    } else {
        silent = floatEncoder->encodeBlock(planes, codes, m, &energy, &codeCount, rebuilt);
    }
    // The third channel's last two predictions survive a reset; a block that is not sent must
    // leave them as the decoder has them.
    auto restoreThirdPredictions = [this, third = thirdPredictions()] {
        if (floatEncoder) {
            floatEncoder->state.histories[2].lastPrediction = third[0];
            floatEncoder->state.histories[2].priorPrediction = third[1];
        }
    };
    if (!finiteReconstruction(rebuilt, m, energy)) {
        // Far-fetched input (huge or not a number) has driven the coder beyond finite values,
        // where decoders need not round as the encoder does: the block is not sent, and the
        // next one starts from a reset that every decoder follows.
        restoreThirdPredictions();
        if (!reportedNonFinite) {
            reportedNonFinite = true;
            config->logger.log(1, KestravaLogger::Error,
                               "Block not sent: the input drove the coder beyond finite values");
        }
        signals.forceReset.store(true, std::memory_order_relaxed);
        return -1;
    }

    AudioPayload::Request request;
    request.sampleCount = m;
    request.resetLength = r;
    request.rdsLength = s;
    request.thirdSilent = silent != 0;
    request.rate = bitrate;
    request.codecVersion = static_cast<std::uint32_t>(v);
    AudioPayload::Result result;
    const AudioPayload::Planes codePlanes{{codes, m}, {codes + planeStride, m}, {codes + 2 * planeStride, m}};
    if (!payload->encode(codePlanes, request, *coder, packetBuffer, result)) {
        // The coder has logged why; the decoder resynchronises at the next reset.
        restoreThirdPredictions();
        signals.forceReset.store(true, std::memory_order_relaxed);
        return -1;
    }

    const auto sampleCount = static_cast<std::uint32_t>(std::uint64_t{n} * static_cast<std::uint32_t>(config->sampleRate) /
                                                        std::max<std::uint32_t>(inputRate, 1));
    const float offsetAt192k = offset * 192000.0f / inputRateF;
    const std::uint32_t bytes = sender->sendFrame(
        packetBuffer, v, result.frameLength + result.thirdLength, sampleCount, r != 0, result.difference,
        silent != 0, signals.soundcardSourceFlag.load(std::memory_order_relaxed), stamped, offsetAt192k, stamp, peak);
    if (bytes == 0 || bytes <= r) {
        // Not sent: no rate feedback, and the next frame resynchronises the decoder.
        restoreThirdPredictions();
        signals.forceReset.store(true, std::memory_order_relaxed);
        return -1;
    }

    reportedNonFinite = false;
    if (observer != nullptr) observer->frameSent(observedInput.get(), rebuilt, planeStride, m);

    const std::uint64_t duration =
        static_cast<std::uint32_t>(m * 1000000u) / static_cast<std::uint32_t>(KestravaInstanceConfig::codecSampleRate);
    const std::uint32_t sent = bytes - r;
    if (doubleEncoder) {
        RateController<double>::update(*doubleEncoder, duration, static_cast<std::int32_t>(sent), 2 * m, energy,
                                       codeCount, doubleEncoder->state);
    } else if (floatEncoder) {
        RateController<float>::update(*floatEncoder, duration, static_cast<std::int32_t>(sent), 2 * m, energy,
                                      codeCount, floatEncoder->state);
    } else if (legacyEncoder) {
        LegacyRateController::update(legacyEncoder->state, duration, sent, energy, codeCount);
    }
    return static_cast<std::int32_t>(bytes);
}

}  // namespace kestrava::codec::frame
