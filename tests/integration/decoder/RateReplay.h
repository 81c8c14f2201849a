#pragma once

// The encoder's rate control, replayed on the receiving side. Both ends move the step factors of
// the two main channels after every frame from the same inputs (the frame's length on the wire,
// the block's duration and the energy of the reconstructed samples) and set the level classes and
// step floors at every reset packet, so the steps of the next frame agree to the last bit.
// T is double for the double-precision generation (codec versions 1 and 2) and float for the
// single-precision generation (codec version 3); every operation is done in the precision and the
// order the stream's description gives.
#include "codec/Exp2Table.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <type_traits>

namespace streamdecoder {

// What rate control reads and writes of one main channel. The plane rebuilder codes with these
// values: step = max(sqrt(power) * stepFactor, minStep) in class levelClass.
template <class T>
struct RateChannel {
    T power = 0;
    T stepFactor = 0;
    T minStep = T(1) / T(32768);
    T minStepFactor = T(100000);  // floor of stepFactor (single-precision generation only)
    int levelClass = 0;
};

// The lowest rate of each level class; a rate takes the class of the last threshold it reaches.
inline constexpr std::array<std::int32_t, 7> levelClassThresholds = {200, 264, 328, 424, 528, 616, 712};

inline int levelClassOfRate(std::uint32_t rate) {
    int k = 0;
    for (std::int32_t t : levelClassThresholds) k += static_cast<std::uint32_t>(t) <= rate ? 1 : 0;
    return k;
}

namespace ratedetail {

// No frame can move the exponent anywhere near 2^30; a bound keeps the shift defined for any
// input, and a NaN counts as 0.
template <class T>
T boundedExponent(T z) {
    if (!(z == z)) return T(0);
    return std::clamp(z, T(-30), T(30));
}

}  // namespace ratedetail

// 2^z by the 64-step interpolation table. The integer part comes from a shift, the fraction from a
// linear blend of two table entries; the double form rounds the blend weight to float first, the
// float form blends in double and rounds once.
template <class T>
T exp2Lookup(T z) {
    static_assert(std::is_same_v<T, double> || std::is_same_v<T, float>);
    z = ratedetail::boundedExponent(z);
    const int i = static_cast<int>(z);
    T p = 1;
    T f = z;
    if (i > 0) {
        p = static_cast<T>(std::uint32_t{1} << i);
        f = z - static_cast<T>(i);
    } else if (i < 0) {
        p = T(1) / static_cast<T>(std::uint32_t{1} << -i);
        f = z - static_cast<T>(i);
    }
    if (f < 0) {
        p = p * T(0.5);
        f = f + T(1);
    }
    f = f * T(64);
    // f lies in [0, 64] for every finite z; entry 65 is the guard of j = 64.
    const int j = f >= T(0) && f <= T(64) ? static_cast<int>(f) : 0;
    T u = f - static_cast<T>(j);
    if constexpr (std::is_same_v<T, double>) {
        u = static_cast<double>(static_cast<float>(u));
        const double a = u * kestrava::codec::exp2TableDouble[j + 1];
        const double b = (1.0 - u) * kestrava::codec::exp2TableDouble[j];
        const double v = b + a;
        return p * v;
    } else {
        const double a = static_cast<double>(u * kestrava::codec::exp2TableFloat[j + 1]);
        const double b = (1.0 - static_cast<double>(u)) * static_cast<double>(kestrava::codec::exp2TableFloat[j]);
        const float v = static_cast<float>(b + a);
        return p * v;
    }
}

template <class T>
class RateReplay {
    static_assert(std::is_same_v<T, double> || std::is_same_v<T, float>);

public:
    std::array<RateChannel<T>, 2> channels;  // first main channel, second main channel
    bool variableRate = false;
    std::int32_t minStepMultiplier = 1;
    std::int32_t maximumRate = -1;
    bool monoMode = false;
    std::int32_t codecVersion = -1;
    std::int32_t targetRate = 0;
    std::int32_t reservoir = 0;

    // The rounded state a reset packet carries, for main channel c; the bit reservoir empties.
    void loadChannel(int c, std::uint8_t powerByte, std::uint8_t scaleByte) {
        const T p = static_cast<T>(powerByte) / T(255);
        const T s = static_cast<T>(scaleByte) / T(255);
        RateChannel<T>& ch = channels[static_cast<std::size_t>(c)];
        ch.power = p * p;
        ch.stepFactor = T(2) * (s * s);
        reservoir = 0;
    }

    // Set-up of the double-precision generation at a reset packet: rate within 320..576 kbit/s,
    // level class from it, minimum step 2^-15. Returns the code width of the first channel's class.
    int configure(std::uint32_t rate)
        requires std::is_same_v<T, double>
    {
        targetRate = static_cast<std::int32_t>(std::max(std::min(rate, 576u), 320u));
        variableRate = false;
        minStepMultiplier = 1;
        maximumRate = 320;
        monoMode = false;
        for (RateChannel<T>& ch : channels) {
            ch.levelClass = levelClassOfRate(static_cast<std::uint32_t>(targetRate));
            ch.minStep = T(1) / T(32768);
        }
        return 5 + channels[0].levelClass;
    }

    // Set-up of the single-precision generation at a reset packet: besides the level class, a
    // rate-dependent floor of the step factor (which also raises a smaller factor) and, in
    // variable-rate mode, a minimum step of minStepMultiplier * 2^-15.
    int configure(std::uint32_t rate, bool plusMode, bool vbr, std::int32_t stepMultiplier, std::int32_t maxRate,
                  bool mono)
        requires std::is_same_v<T, float>
    {
        std::uint32_t minimum = plusMode ? 160u : 320u;
        if (mono) minimum /= 2;
        targetRate = static_cast<std::int32_t>(std::max(std::min(rate, 1000u), minimum));
        maximumRate = static_cast<std::int32_t>(std::max(std::min(static_cast<std::uint32_t>(maxRate), 1000u), minimum));
        variableRate = vbr;
        minStepMultiplier = stepMultiplier;
        monoMode = mono;
        const std::int32_t r = mono ? 2 * targetRate : targetRate;
        const float rf = static_cast<float>(r);
        for (RateChannel<T>& ch : channels) {
            ch.levelClass = levelClassOfRate(static_cast<std::uint32_t>(r));
            const float y = ((1000.0f * rf) / 38400.0f) * 0.5f - 0.35f;
            const float base = 4.0f / exp2Lookup<float>(y);
            const float c1 = (static_cast<float>(r - 320) * 0.2f) / 480.0f;
            const float c2 = (static_cast<float>(r - 576) * 0.25f) / 224.0f;
            const float c3 = (static_cast<float>(r - 688) * 0.3f) / 112.0f;
            const float corr = ((1.0f + std::max(0.0f, c1)) + std::max(0.0f, c2)) + std::max(0.0f, c3);
            float s = base * corr;
            if (r < 320) {
                const float r2 = static_cast<float>(r * r);
                const float r3 = static_cast<float>(r * r * r);
                double x = static_cast<double>(r3 * -3.25849e-06f) + static_cast<double>(r2) * 0.00291719;
                x = x - static_cast<double>(rf * 0.872836f);
                x = x + static_cast<double>(90.353f);
                x = x - static_cast<double>(1.0162706f);
                x = x / 100.0;
                x = x + 1.0;
                float c = static_cast<float>(x);
                if (vbr) c = c + (static_cast<float>(std::max(0, r - 77)) * 0.065f) / 211.0f;
                s = s * c;
            }
            ch.minStepFactor = s;
            ch.stepFactor = std::max(ch.stepFactor, s);
            ch.minStep = vbr ? static_cast<float>(stepMultiplier) * (1.0f / 32768.0f) : 1.0f / 32768.0f;
        }
        return 5 + channels[0].levelClass;
    }

    // After every frame: the frame cost frameBytes (its packet less its reset packet) against a
    // budget of durationUs at the rate; the step factors move by 2 to the excess bits per code.
    // energy and energyCount are the block's sum of squared main-channel reconstructions and the
    // number of samples summed.
    void update(std::uint64_t durationUs, std::int32_t frameBytes, std::uint32_t codeCount, float energy,
                std::uint32_t energyCount) {
        if (codeCount == 0) return;  // no codes, nothing learned
        const std::int32_t rate = variableRate ? maximumRate : targetRate;
        const std::int32_t budget =
            wrap(static_cast<std::int64_t>(durationUs) * static_cast<std::int64_t>(rate) / 1000);
        const std::int32_t cap = wrap(std::int64_t{10} * rate);
        const std::int32_t used = wrap(std::int64_t{8} * frameBytes);
        const std::int32_t balance = wrap(std::int64_t{reservoir} + budget - used);
        std::int32_t target = 0;
        if (codecVersion < 2) {
            reservoir = std::min(balance, cap);
            target = std::max((3 * used) / 4, wrap(std::int64_t{used} - reservoir));
        } else {
            std::int32_t r = std::min(balance, cap);
            if (variableRate && r > 0) r = 0;
            reservoir = r;
            // The share of the reservoir that moves the target: 1/32 of the first budget's worth,
            // 1/16 of the second, ... 1/2 of the fifth.
            std::int32_t rest = r;
            std::int32_t d = 0;
            for (int k = 1; k <= 5; ++k) {
                const std::int32_t part = std::max(rest, wrap(-std::int64_t{budget}));
                rest = wrap(std::int64_t{rest} - part);
                d = wrap(std::int64_t{d} + part / (std::int32_t{64} >> k));
            }
            if (r == 0) {
                target = used;
            } else if (r < 0) {
                target = wrap(std::int64_t{used} - d);
            } else {
                target = used <= budget ? used : std::max(wrap(std::int64_t{used} - d), budget);
            }
        }
        const float rms = std::sqrt(energy / static_cast<float>(std::max(energyCount, 1u)));
        const T z = static_cast<T>(wrap(std::int64_t{target} - budget)) / static_cast<T>(codeCount);
        T m = exp2Lookup<T>(z);
        m = std::max(m, T(0.75));
        m = m + std::max(T(0), m - T(6.0));
        for (RateChannel<T>& ch : channels) {
            const T floor = std::is_same_v<T, double> ? ch.minStep : ch.minStepFactor;
            const T d = std::sqrt(ch.power) * ch.stepFactor;
            const T step = d > ch.minStep ? d : ch.minStep;
            const bool silentAtMinimum =
                m <= T(1) && static_cast<double>(rms) < static_cast<double>(1e-4f) && step <= ch.minStep;
            if (silentAtMinimum) continue;
            const T scaled = ch.stepFactor * m;
            ch.stepFactor = scaled > floor ? scaled : floor;
        }
    }

private:
    // The low 32 bits, as the encoder's 32-bit arithmetic keeps them.
    static std::int32_t wrap(std::int64_t v) { return static_cast<std::int32_t>(static_cast<std::uint32_t>(v)); }
};

}  // namespace streamdecoder
