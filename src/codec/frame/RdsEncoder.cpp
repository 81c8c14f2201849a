#include "codec/frame/RdsEncoder.h"

#include "codec/frame/ByteConversions.h"
#include "logging/KestravaInstanceConfig.h"

#include <bit>
#include <cmath>

namespace kestrava::codec::frame {

namespace {
constexpr float twoPi = 6.2831855f;
}

RdsEncoder::RdsEncoder(KestravaInstanceConfig* config_) : config(config_), halfBits{} {
    for (int k = 0; k < 4098; ++k) {
        sineTable[k] = static_cast<float>(std::sin(2.0 * 3.14159265358979323846 * k / 4096.0));
    }
}

void RdsEncoder::track(int t, float p, float x) {
    const float theta = twoPi * p;
    float i = periodI[t] + std::sin(theta) * x;
    float q = periodQ[t] + std::cos(theta) * x;
    if (wrapped[t]) {
        wrapped[t] = false;
        if (i < 0.0f) {
            i = -i;
            q = -q;
        }
        const int h = historyIndex[t];
        sumI[t] = (sumI[t] + i) - historyI[t][h];
        historyI[t][h] = i;
        sumQ[t] = (sumQ[t] + q) - historyQ[t][h];
        historyQ[t][h] = q;
        historyIndex[t] = (h + 1) % 64;
        periodI[t] = 0.0f;
        periodQ[t] = 0.0f;
    } else {
        periodI[t] = i;
        periodQ[t] = q;
    }
    // Exact square root: the normalisation is not part of the section, and both builds agree.
    Correction& c = correction[t];
    const auto iBits = std::bit_cast<std::uint32_t>(sumI[t]);
    const auto qBits = std::bit_cast<std::uint32_t>(sumQ[t]);
    if (!c.known || iBits != c.sumIBits || qBits != c.sumQBits) {
        const float mag = std::sqrt(sumI[t] * sumI[t] + sumQ[t] * sumQ[t]);
        c = Correction{iBits, qBits, true, sumQ[t] / ((mag + 1e-6f) * 262144.0f)};
    }
    p = p + c.step;
    if (p >= 1.0f) {
        wrapped[t] = true;
        p = p - 1.0f;
    }
    phase[t] = p;
}

float RdsEncoder::bitPhase() const {
    const float a = (phase[1] + 0.75f) * 0.5f;
    const float m = std::trunc((1.125f - a + phase[0]) * 4.0f);
    const float c = a + m * 0.25f;
    float r = c - std::trunc(c);
    if (r < 0.0f) r = r + 1.0f;
    return r;
}

std::uint32_t RdsEncoder::encodeBlock(const DemodulatedSample* records, std::uint32_t count, std::uint8_t* out) {
    writer.reset(out);
    writer.writeBits(out, 0, 8);
    writer.writeBits(out, 0, 16);

    for (std::uint32_t n = 0; n < count; ++n) {
        const float x = records[n].rds;
        power = power * 0.9999f + 1e-4f * x * x;
        track(0, phase[0] + bitStep, x);
        track(1, phase[1] + 2.0f * bitStep, x * x);

        const float r = bitPhase();
        const float pos = r * 4096.0f;
        const int j = static_cast<int>(frame_bytes::truncateUnsigned(pos, 4096));
        const float f = pos - static_cast<float>(j);
        const float reference = (1.0f - f) * sineTable[j] + f * sineTable[(j + 1) % 4096];

        if (!(power >= 1.25e-5f)) continue;
        float base = correlation;
        if (std::signbit(reference) != std::signbit(lastReference)) {
            // Decisions beyond the buffer are dropped; a block yields a few dozen.
            if (halfBitCount < static_cast<std::int32_t>(halfBitCapacity)) {
                halfBits[halfBitCount++] = correlation > 0.0f ? 1 : 0;
            }
            base = 0.0f;
        }
        lastReference = reference;
        correlation = base + x * reference;
    }

    const float expected = static_cast<float>(count) * 2.0f * decisionStep;
    const auto lo = static_cast<std::int32_t>(std::trunc(expected - 1.5f));
    const auto hi = static_cast<std::int32_t>(std::trunc(expected + 4.5f));
    const std::int32_t n = halfBitCount;
    const bool plausible = lo <= n && n <= hi;
    const std::int32_t next = confidence + (plausible ? 1 : -4);
    if (next >= 192) {
        confidence = 192;
        rdsPresent = true;
    } else if (next <= -192) {
        confidence = -192;
        rdsPresent = false;
    } else {
        confidence = next;
    }

    std::int32_t e0 = 0;
    std::int32_t e1 = 0;
    for (std::int32_t j = 0; j < n / 2; ++j) e0 += halfBits[2 * j] == halfBits[2 * j + 1] ? 1 : 0;
    for (std::int32_t j = 0; j < (n - 1) / 2; ++j) e1 += halfBits[2 * j + 1] == halfBits[2 * j + 2] ? 1 : 0;
    if (e0 > e1) pairOffset = 0;
    if (e0 < e1) pairOffset = 1;

    if (pairOffset == 1) {
        if (shiftCount++ > 5) {
            if (rdsPresent) {
                config->logger.log(1, KestravaLogger::Warning, "RDS encoder: bits shifted");
            } else if (2.0f * std::sqrt(2.0f * power) > 0.01f && !plausible) {
                config->logger.log(1, KestravaLogger::Warning,
                                   "There appears to be non-RDS data in the RDS frequency range");
            }
        }
    }

    std::int32_t bits = 0;
    std::int32_t carried = 0;
    if (rdsPresent) {
        while (pairOffset + 2 * bits + 1 <= n - 1 && bits < static_cast<std::int32_t>(maxDataBits)) {
            writer.writeBits(out, static_cast<std::uint64_t>(halfBits[pairOffset + 2 * bits]), 1);
            ++bits;
        }
        carried = n - pairOffset - 2 * bits;
        // Only an unpaired last decision carries over; pairs beyond the section's 63 bits are lost.
        carried = carried == 1 ? 1 : 0;
    }
    halfBits[0] = n > 0 ? halfBits[n - 1] : 0;
    halfBitCount = carried;

    const float r = bitPhase();
    const float s1 = (r + 1.0f) - std::trunc(r + 1.0f);
    const float s2raw = r + 1.0f + bitStep;
    const float s2 = s2raw - std::trunc(s2raw);
    const float clamped = s2 < 0.0f ? 0.0f : (s2 > 1.0f ? 1.0f : s2);
    const std::uint32_t u = frame_bytes::truncateUnsigned(clamped * 65536.0f + 0.5f, 65536);
    const float q = static_cast<float>(u) / 65536.0f;
    const bool boundary = (q <= 0.2f && s1 >= 0.8f) || (s1 < 0.5f && q >= 0.5f);
    out[0] = static_cast<std::uint8_t>((bits % 64) + (carried == 1 ? 128 : 0) + (boundary ? 64 : 0));
    out[1] = static_cast<std::uint8_t>((u >> 8) & 0xFF);
    out[2] = static_cast<std::uint8_t>(u & 0xFF);
    return writer.byteCount();
}

}  // namespace kestrava::codec::frame
