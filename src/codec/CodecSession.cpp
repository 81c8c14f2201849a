#include "codec/CodecSession.h"

#include "codec/LegacyRateController.h"
#include "codec/RateController.h"

#include <bit>
#include <cstdlib>

namespace kestrava::codec {

CodecSession::CodecSession(KestravaInstanceConfig* config, const Settings& settings, const EncoderKernels& kernels)
    : settings(settings) {
    switch (settings.version) {
        case 0:
            legacyEncoder.reset(new LegacyEncoder(config, kernels));
            if (legacyEncoder == nullptr || !legacyEncoder->ready()) return;
            legacyEncoder->state.targetRate = static_cast<std::int32_t>(settings.rate);
            codeBits = static_cast<std::int32_t>(std::bit_width(legacyEncoder->buildLevelTables(settings.rate) - 1));
            legacyEncoder->state.rateStates[0].stepFactor = 1.0;
            legacyEncoder->state.rateStates[1].stepFactor = 1.0;
            break;
        case 1:
        case 2:
            doubleEncoder.reset(new Encoder<double, 0>(config, kernels));
            if (doubleEncoder == nullptr || !doubleEncoder->ready()) return;
            doubleEncoder->state.codecVersion = settings.version;
            codeBits = RateControllerDouble::configure(*doubleEncoder, settings.rate, doubleEncoder->state);
            doubleEncoder->state.rateStates[0].stepFactor = 1.0;
            doubleEncoder->state.rateStates[1].stepFactor = 1.0;
            break;
        case 3: {
            floatEncoder.reset(new Encoder<float, 4>(config, kernels));
            if (floatEncoder == nullptr || !floatEncoder->ready()) return;
            floatEncoder->state.codecVersion = 3;
            const bool plus = settings.plusMode;
            codeBits = RateControllerFloat::configure(*floatEncoder, settings.rate, plus, plus && settings.variableRate,
                                           plus ? settings.noiseLevel : 1,
                                           plus && settings.maxRate > 0 ? settings.maxRate
                                                                        : static_cast<std::int32_t>(settings.rate),
                                           false, floatEncoder->state);
            break;
        }
        default:
            break;
    }
}

CodecSession::~CodecSession() = default;

bool CodecSession::ok() const {
    return (legacyEncoder != nullptr && legacyEncoder->ready()) || (doubleEncoder != nullptr && doubleEncoder->ready()) ||
           (floatEncoder != nullptr && floatEncoder->ready());
}

std::uint32_t CodecSession::maxBlockLength() const {
    return legacyEncoder != nullptr ? LegacyEncoder::maxBlockLength : Encoder<float, 4>::maxBlockLength;
}

CodecSession::Block CodecSession::code(float* planes, std::int32_t* codePlanes, std::uint32_t n,
                                       float* reconstructionPlanes) {
    Block block;
    if (legacyEncoder != nullptr) {
        block.thirdSilent =
            legacyEncoder->encodeBlock(planes, codePlanes, n, &block.energy, &block.codeCount, reconstructionPlanes);
    } else if (doubleEncoder != nullptr) {
        block.thirdSilent =
            doubleEncoder->encodeBlock(planes, codePlanes, n, &block.energy, &block.codeCount, reconstructionPlanes);
    } else if (floatEncoder != nullptr) {
        block.thirdSilent =
            floatEncoder->encodeBlock(planes, codePlanes, n, &block.energy, &block.codeCount, reconstructionPlanes);
    }
    return block;
}

void CodecSession::rateUpdate(std::uint32_t n, std::int32_t frameBytes, const Block& block) {
    if (n == 0) return;
    const std::uint64_t durationUs = std::uint64_t{n} * 1000000u / 38400u;
    if (legacyEncoder != nullptr) {
        LegacyRateController::update(legacyEncoder->state, durationUs, static_cast<std::uint32_t>(frameBytes),
                                     block.energy, block.codeCount);
    } else if (doubleEncoder != nullptr) {
        RateController<double>::update(*doubleEncoder, durationUs, frameBytes, 2 * n, block.energy, block.codeCount,
                                       doubleEncoder->state);
    } else if (floatEncoder != nullptr) {
        RateController<float>::update(*floatEncoder, durationUs, frameBytes, 2 * n, block.energy, block.codeCount,
                                      floatEncoder->state);
    }
}

std::int32_t CodecSession::estimatedFrameBytes(const std::int32_t* codePlanes, std::uint32_t n, bool thirdSilent) {
    std::uint64_t bits = 0;
    const int planes = thirdSilent ? 2 : 3;
    for (int p = 0; p < planes; ++p) {
        for (std::uint32_t i = 0; i < n; ++i) {
            const std::int32_t c = codePlanes[p * Encoder<float, 4>::planeStride + i];
            const auto magnitude = static_cast<std::uint32_t>(c < 0 ? -static_cast<std::int64_t>(c) : c);
            bits += 1 + 2 * (std::bit_width(magnitude + 1) - 1);
        }
    }
    return static_cast<std::int32_t>((bits + 7) / 8);
}

}  // namespace kestrava::codec
