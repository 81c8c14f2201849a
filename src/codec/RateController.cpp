#include "codec/RateController.h"

#include "codec/Exp2Table.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace kestrava::codec {

namespace {

constexpr float minStepUnit = 0x1p-15f;

std::int32_t saturate32(std::int64_t v) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, std::numeric_limits<std::int32_t>::min(),
                                                              std::numeric_limits<std::int32_t>::max()));
}

// The integer part and the scale 2^i of the lookup. |i| <= 30 here.
template <class T>
T powerOfTwo(std::int32_t i) {
    if (i > 0) return static_cast<T>(static_cast<std::uint32_t>(1u << i));
    if (i < 0) return static_cast<T>(1) / static_cast<T>(static_cast<std::uint32_t>(1u << -i));
    return static_cast<T>(1);
}

}  // namespace

std::int32_t levelClassForRate(std::uint32_t rate) {
    static constexpr std::uint32_t thresholds[] = {200, 264, 328, 424, 528, 616, 712};
    std::int32_t levelClass = 0;
    for (std::uint32_t t : thresholds) {
        if (t <= rate) ++levelClass;
    }
    return levelClass;
}

template <class T>
T RateController<T>::exp2Lookup(T z) {
    if (!(z == z)) return static_cast<T>(1);
    z = std::clamp(z, static_cast<T>(-30), static_cast<T>(30));
    const auto i = static_cast<std::int32_t>(z);
    T p = powerOfTwo<T>(i);
    T f = i == 0 ? z : z - static_cast<T>(i);
    if (f < 0) {
        p = p * static_cast<T>(0.5);
        f = f + static_cast<T>(1);
    }
    f = f * static_cast<T>(64);
    const auto j = static_cast<std::int32_t>(f);
    T u = f - static_cast<T>(j);
    if constexpr (std::is_same_v<T, double>) {
        u = static_cast<double>(static_cast<float>(u));
        const double a = u * exp2TableDouble[j + 1];
        const double b = (1.0 - u) * exp2TableDouble[j];
        return p * (b + a);
    } else {
        const double a = static_cast<double>(u * exp2TableFloat[j + 1]);
        const double b = (1.0 - static_cast<double>(u)) * static_cast<double>(exp2TableFloat[j]);
        return p * static_cast<float>(b + a);
    }
}

template <class T>
void RateController<T>::update(CodecType& codec, std::uint64_t durationUs, std::int32_t frameBytes,
                               std::uint32_t codeCount, float energy, std::uint32_t energyCount,
                               EncoderState<T>& state) {
    if (codeCount == 0 || codec.quantizers[0] == nullptr || codec.quantizers[1] == nullptr) return;
    const std::int64_t rate = state.variableRate ? state.maximumRate : state.targetRate;
    const auto budget = static_cast<std::int32_t>(static_cast<std::int64_t>(durationUs) * rate / 1000);
    const std::int64_t cap = 10 * rate;
    const std::int64_t used = 8 * static_cast<std::int64_t>(frameBytes);
    std::int64_t target;
    if (state.codecVersion < 2) {
        const std::int64_t reservoir = std::min<std::int64_t>(state.reservoir + std::int64_t{budget} - used, cap);
        state.reservoir = saturate32(reservoir);
        target = std::max<std::int64_t>((3 * used) / 4, used - state.reservoir);
    } else {
        std::int64_t r = std::min<std::int64_t>(state.reservoir + std::int64_t{budget} - used, cap);
        if (state.variableRate && r > 0) r = 0;
        r = saturate32(r);
        state.reservoir = static_cast<std::int32_t>(r);
        // Five parts, none below -budget; a debt raises the target by 1/32 of the first budget's worth,
        // 1/16 of the second, ..., 1/2 of the fifth.
        std::int64_t rest = r;
        std::int64_t parts[5];
        for (std::int64_t& part : parts) {
            part = std::max<std::int64_t>(rest, -std::int64_t{budget});
            rest = rest - part;
        }
        const std::int64_t d = parts[0] / 32 + parts[1] / 16 + parts[2] / 8 + parts[3] / 4 + parts[4] / 2;
        if (r == 0) {
            target = used;
        } else if (r < 0) {
            target = used - d;
        } else {
            target = used <= budget ? used : std::max<std::int64_t>(used - d, budget);
        }
    }
    const float rms = std::sqrt(energy / static_cast<float>(std::max<std::uint32_t>(energyCount, 1)));
    const T z = static_cast<T>(saturate32(target - budget)) / static_cast<T>(codeCount);
    T m = exp2Lookup(z);
    m = std::max(m, static_cast<T>(0.75));
    m = m + std::max(static_cast<T>(0), m - static_cast<T>(6.0));
    for (int c = 0; c < 2; ++c) {
        ChannelRateState<T>& s = state.rateStates[c];
        const auto& q = *codec.quantizers[c];
        const T effective = std::max(std::sqrt(s.power) * s.stepFactor, q.minStep);
        const bool quietAtFloor = m <= static_cast<T>(1) && static_cast<T>(rms) < static_cast<T>(1e-4f) &&
                                  effective <= q.minStep;
        if (quietAtFloor) continue;
        const T floor = std::is_same_v<T, double> ? q.minStep : q.minStepFactor;
        s.stepFactor = std::max(s.stepFactor * m, floor);
    }
}

std::int32_t RateControllerFloat::configure(Codec<float, 4>& codec, std::uint32_t rate, bool plusMode,
                                            bool variableRate, std::int32_t minStepMultiplier, std::int32_t maxRate,
                                            bool monoMode, EncoderState<float>& state) {
    std::uint32_t minimum = plusMode ? 160 : 320;
    if (monoMode) minimum /= 2;
    auto limit = [minimum](std::uint32_t value) { return std::max(std::min(value, 1000u), minimum); };
    state.targetRate = static_cast<std::int32_t>(limit(rate));
    state.maximumRate = static_cast<std::int32_t>(limit(static_cast<std::uint32_t>(maxRate)));
    state.variableRate = variableRate;
    state.minStepMultiplier = minStepMultiplier;
    state.monoMode = monoMode;
    const std::uint32_t classRate = monoMode ? 2 * static_cast<std::uint32_t>(state.targetRate)
                                             : static_cast<std::uint32_t>(state.targetRate);
    const auto r = static_cast<std::int32_t>(classRate);
    for (int c = 0; c < 2; ++c) {
        ChannelRateState<float>& channel = state.rateStates[c];
        channel.levelClass = levelClassForRate(classRate);
        const float y = ((1000.0f * static_cast<float>(r)) / 38400.0f) * 0.5f - 0.35f;
        const float power = RateController<float>::exp2Lookup(y);
        const float base = 4.0f / power;
        const float c1 = (static_cast<float>(r - 320) * 0.2f) / 480.0f;
        const float c2 = (static_cast<float>(r - 576) * 0.25f) / 224.0f;
        const float c3 = (static_cast<float>(r - 688) * 0.3f) / 112.0f;
        const float correction = ((1.0f + std::max(0.0f, c1)) + std::max(0.0f, c2)) + std::max(0.0f, c3);
        float scale = base * correction;
        if (r < 320) {
            const auto r2 = static_cast<float>(r * r);
            const auto r3 = static_cast<float>(r * r * r);
            double x = static_cast<double>(r3 * -3.25849e-06f) + static_cast<double>(r2) * 0.00291719;
            x = x - static_cast<double>(static_cast<float>(r) * 0.872836f);
            x = x + static_cast<double>(90.353f);
            x = x - static_cast<double>(1.0162706f);
            x = x / 100.0;
            x = x + 1.0;
            float cubic = static_cast<float>(x);
            if (variableRate) cubic = cubic + (static_cast<float>(std::max(0, r - 77)) * 0.065f) / 211.0f;
            scale = scale * cubic;
        }
        if (codec.quantizers[c] == nullptr) continue;
        Quantizer<float, 1>& q = *codec.quantizers[c];
        q.minStepFactor = scale;
        channel.stepFactor = std::max(channel.stepFactor, scale);
        q.minStep = variableRate ? static_cast<float>(minStepMultiplier) * minStepUnit : minStepUnit;
    }
    const std::int32_t first = state.rateStates[0].levelClass;
    return codec.quantizers[0] != nullptr ? static_cast<std::int32_t>(codec.quantizers[0]->levelClasses[first].levelBits)
                                          : 5 + first;
}

std::int32_t RateControllerDouble::configure(Codec<double, 0>& codec, std::uint32_t rate,
                                             EncoderState<double>& state) {
    state.targetRate = static_cast<std::int32_t>(std::max(std::min(rate, 576u), 320u));
    state.variableRate = false;
    state.minStepMultiplier = 1;
    state.maximumRate = 320;
    state.monoMode = false;
    for (int c = 0; c < 2; ++c) {
        state.rateStates[c].levelClass = levelClassForRate(static_cast<std::uint32_t>(state.targetRate));
        if (codec.quantizers[c] != nullptr) codec.quantizers[c]->minStep = 0x1p-15;
    }
    const std::int32_t first = state.rateStates[0].levelClass;
    return codec.quantizers[0] != nullptr ? static_cast<std::int32_t>(codec.quantizers[0]->levelClasses[first].levelBits)
                                          : 5 + first;
}

template struct RateController<double>;
template struct RateController<float>;

}  // namespace kestrava::codec
