#include "transport/FrameHeader.h"

#include "transport/BitWriter.h"

#include <cmath>

namespace kestrava::transport {

namespace {

// Truncation toward zero without the undefined conversion of NaN or out-of-range values.
std::int64_t truncateSaturating(float value) {
    if (std::isnan(value)) return 0;
    if (value >= 0x1p63f) return INT64_MAX;
    if (value <= -0x1p63f) return INT64_MIN;
    return static_cast<std::int64_t>(value);
}

}  // namespace

std::uint32_t frameLevelField(float level) {
    // A NaN fails the comparison and so, like a full-scale level, gets no level field.
    if (!(level < 0.9995f)) return 0;
    const float scaled = std::sqrt(level > 0.0f ? level : 0.0f) * 2047.0f;
    const std::int64_t field = truncateSaturating(scaled) + 1;
    return static_cast<std::uint32_t>(field < 1 ? 1 : field > 2047 ? 2047 : field);
}

std::uint32_t gpsOffsetField(float offset) {
    constexpr float factor = 16.0f - 1.0f / 65536.0f;
    const float product = offset * factor;
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(truncateSaturating(product)) & 0xFFFFFu);
}

std::uint32_t writeFrameHeader(const FrameHeaderFields& f, std::uint8_t* out) {
    std::uint8_t flags = 0;
    if (f.resetBlock) flags |= FrameFlags::ResetBlock;
    if (f.differenceCoding) flags |= FrameFlags::DifferenceCoding;
    if (f.thirdChannelSilent) flags |= FrameFlags::ThirdChannelSilent;
    if (f.sourceFlag) flags |= FrameFlags::SourceFlag;
    out[0] = static_cast<std::uint8_t>(f.version);

    std::uint32_t startBit = 16;
    if (f.version <= 0) {
        // The legacy header has no stamp bit: the position starts in bit 0 of the flags byte.
        out[1] = flags;
        startBit = 15;
    } else {
        out[1] = f.stamped ? static_cast<std::uint8_t>(flags | FrameFlags::Stamped) : flags;
    }
    BitWriter bits(out, startBit);
    if (f.version >= 1 && f.stamped) {
        bits.put(static_cast<std::uint32_t>(f.gpsSecond) & 0x1FFFFu, 17);
        bits.put(gpsOffsetField(f.gpsOffset), 20);
    }
    if (f.version >= 3) {
        const std::uint32_t level = frameLevelField(f.level);
        bits.put(level != 0 ? 1u : 0u, 1);
        if (level != 0) bits.put(level, 11);
    }
    bits.put(f.position, 32);
    bits.put(f.sampleCount & 0xFFFFu, 16);
    return bits.bytesUsed();
}

}  // namespace kestrava::transport
