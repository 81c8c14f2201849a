#include "codec/frame/ResetPacket.h"

#include "codec/RateController.h"
#include "codec/entropy/EntropyCoder.h"
#include "codec/frame/ByteConversions.h"
#include "codec/frame/ResetCapture.h"
#include "logging/KestravaInstanceConfig.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace kestrava::codec::frame {

using kestrava::codec::Encoder;
using kestrava::codec::LegacyEncoder;
using kestrava::codec::RateControllerDouble;
using kestrava::codec::RateControllerFloat;

using kestrava::codec::entropy::EntropyCoder;

std::uint8_t ResetPacket::compressNoiseLevel(std::int32_t noiseLevel) {
    std::int32_t v = noiseLevel;
    for (std::int32_t t = 8192; t >= 32; t /= 2) {
        if (v > t) v = t + (v - t) / 2;
    }
    return static_cast<std::uint8_t>(static_cast<std::uint32_t>(v) & 0xFFu);
}

std::int32_t ResetPacket::legacyRange(std::int32_t rateKbps) {
    const float k = (static_cast<float>(rateKbps) - 64.0f) / 64.0f + 0.5f;
    // Truncation toward zero, limited so that 2^k stays inside the coder's alphabet.
    const std::int32_t e = k <= 0.0f ? 0 : static_cast<std::int32_t>(frame_bytes::truncateUnsigned(k, 20));
    return std::int32_t{1} << e;
}

std::uint32_t ResetPacket::prepare(const Inputs& in, const Generations& g, EntropyCoder& coder, std::uint8_t* out) {
    std::uint8_t staging[maxLength] = {};
    std::uint8_t* records = staging + 5;
    std::int32_t indexBits = 0;
    bool plus = false;
    bool rateBlock = false;
    std::int32_t maxRate = 0;
    const std::int32_t rate = in.bitRate;

    if (g.doubleEncoder != nullptr) {
        Encoder<double, 0>& e = *g.doubleEncoder;
        e.config->logger.log(1, KestravaLogger::Trace, "Preparing reset packet");
        ResetCapture::capture(e, records);
        e.state.codecVersion = in.codecVersion;
        indexBits = RateControllerDouble::configure(e, static_cast<std::uint32_t>(std::max(rate, 0)), e.state);
    } else if (g.floatEncoder != nullptr) {
        Encoder<float, 4>& e = *g.floatEncoder;
        e.config->logger.log(1, KestravaLogger::Trace, "Preparing reset packet");
        plus = in.plusMode;
        const bool vbr = plus && in.variableBitRate;
        const std::int32_t noise = plus ? in.vbrNoiseLevel : 1;
        maxRate = plus ? in.vbrMaxBitRate : 0;
        ResetCapture::capture(e, records);
        e.state.codecVersion = in.codecVersion;
        indexBits = RateControllerFloat::configure(e, static_cast<std::uint32_t>(std::max(rate, 0)), plus, vbr, noise,
                                                   maxRate > 0 ? maxRate : rate, false, e.state);
        rateBlock = vbr;
    } else if (g.legacyEncoder != nullptr) {
        LegacyEncoder& e = *g.legacyEncoder;
        e.config->logger.log(1, KestravaLogger::Trace, "Preparing reset packet");
        ResetCapture::capture(e, records);
        e.state.targetRate = rate;
        const std::uint32_t levelCount = e.buildLevelTables(static_cast<std::uint32_t>(std::max(rate, 0)));
        indexBits = levelCount <= 1 ? 0 : static_cast<std::int32_t>(std::bit_width(levelCount - 1));
    } else {
        return 0;
    }

    coder.configureReset(legacyRange(rate), indexBits);

    staging[0] = static_cast<std::uint8_t>(frame_bytes::truncateUnsigned(in.pilotLevel * 255.0f + 0.5f, 255));
    staging[1] = static_cast<std::uint8_t>(frame_bytes::truncateUnsigned(in.rdsLevel * 255.0f + 0.5f, 255));
    const auto wireRate = static_cast<std::uint32_t>(rate);
    staging[2] = static_cast<std::uint8_t>(wireRate >> 8);
    staging[3] = static_cast<std::uint8_t>(wireRate);
    staging[4] = static_cast<std::uint8_t>((in.spectrumFlag ? 0x80 : 0) | (plus ? 0x40 : 0) | (rateBlock ? 0x20 : 0));

    std::uint32_t length = 0;
    if (!plus) {
        std::memcpy(out, staging, maxLength);
        length = maxLength;
    } else {
        // Short form: each record without its history bytes 12..15.
        std::memcpy(out, staging, 17);
        std::memcpy(out + 17, staging + 21, 14);
        std::memcpy(out + 31, staging + 39, 2);
        length = 33;
    }
    if (rateBlock) {
        const auto limit = static_cast<std::uint32_t>(maxRate > 0 ? maxRate : rate);
        out[length++] = compressNoiseLevel(in.vbrNoiseLevel);
        out[length++] = static_cast<std::uint8_t>(limit >> 8);
        out[length++] = static_cast<std::uint8_t>(limit);
    }
    return length;
}

}  // namespace kestrava::codec::frame
