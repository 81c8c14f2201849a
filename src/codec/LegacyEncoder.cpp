#include "codec/LegacyEncoder.h"

#include <cstring>
#include <new>

namespace kestrava::codec {

LegacyEncoder::LegacyEncoder(KestravaInstanceConfig* config, const EncoderKernels& kernels)
    : config(config), thirdQuantizer(config), kernels(kernels) {
    std::memset(mainSteps, 0, sizeof mainSteps);
    for (std::shared_ptr<LegacyQuantizer<1>>& handle : quantizers) {
        void* storage = kestrava::alignedAlloc(sizeof(LegacyQuantizer<1>));  // reports a failure itself
        if (storage == nullptr) continue;
        handle = std::shared_ptr<LegacyQuantizer<1>>(new (storage) LegacyQuantizer<1>(config),
                                                     [](LegacyQuantizer<1>* q) {
                                                         q->~LegacyQuantizer<1>();
                                                         kestrava::alignedFree(q);
                                                     });
    }
}

bool LegacyEncoder::ready() const { return quantizers[0] != nullptr && quantizers[1] != nullptr; }

bool LegacyEncoder::configured() const {
    for (const ChannelRateState<double>& rate : state.rateStates) {
        if (rate.levelCount < 1 || rate.levelCount > static_cast<std::int32_t>(LegacyQuantizer<1>::capacity)) {
            return false;
        }
    }
    return true;
}

std::uint32_t LegacyEncoder::buildLevelTables(std::uint32_t rateKbps) {
    const std::uint32_t count = thirdQuantizer.buildLevels(rateKbps);
    for (const std::shared_ptr<LegacyQuantizer<1>>& q : quantizers) {
        if (q != nullptr) q->buildLevels(rateKbps);
    }
    for (ChannelRateState<double>& rate : state.rateStates) rate.levelCount = static_cast<std::int32_t>(count);
    return count;
}

std::uint32_t LegacyEncoder::encodeBlock(const float* planes, std::int32_t* codePlanes, std::uint32_t n,
                                         float* energy, std::uint32_t* codeCount, float* reconstructionPlanes) {
    if (n > maxBlockLength || !ready() || !configured()) return 1;
    if (n == 0) {
        *energy = 0.0f;
        *codeCount = 0;
        return 1;
    }
    const double scale = legacyLevelScale(static_cast<std::uint32_t>(state.targetRate));
    auto reconstruction = [reconstructionPlanes](int c) {
        return reconstructionPlanes != nullptr ? reconstructionPlanes + c * planeStride : nullptr;
    };
    LegacyMainChannel channels[2];
    for (int c = 0; c < 2; ++c) {
        channels[c] = LegacyMainChannel{&predictors[c],           &state.histories[c],        &state.rateStates[c],
                                        quantizers[c].get(),      planes + c * planeStride,   codePlanes + c * planeStride,
                                        mainSteps[c],             reconstruction(c)};
    }
    const float sum = kernels.codeMainLegacyPair(channels, scale, n, secondReconstruction, 0.0f);
    const std::uint32_t silent =
        kernels.codeThirdLegacy(thirdPredictor, state.histories[2], state.rateStates[2].levelCount, thirdQuantizer,
                                planes + 2 * planeStride, n, mainSteps[0], mainSteps[1], codePlanes + 2 * planeStride,
                                reconstruction(2));
    *energy = sum;
    *codeCount = 2 * n;
    return silent;
}

}  // namespace kestrava::codec
