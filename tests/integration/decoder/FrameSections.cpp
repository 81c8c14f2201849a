#include "FrameSections.h"

#include "LegacyStreams.h"
#include "WideStreams.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace streamdecoder {

namespace {

int levelClassOf(std::int32_t rate) {
    const int steps[] = {200, 264, 328, 424, 528, 616, 712};
    int c = 0;
    while (c < 7 && rate >= steps[c]) ++c;
    return c;
}

// The legacy level ladder: 0..n, then a geometric run with ratio 1 + 1/n up to 65536.
int legacyLevelCount(int n) {
    int count = 0;
    double level = 0.0;
    while (level <= 65536.0) {
        ++count;
        level = level < n ? level + 1.0
                          : level + std::max(std::sqrt(0.1 * level * level + 0.9 * double(n) * n), level) / n;
    }
    return count;
}

int legacyExponent(std::int32_t rate) {
    return static_cast<int>((static_cast<float>(rate) - 64.0f) / 64.0f + 0.5f);
}

ResetPacket readReset(const Bytes& p, std::size_t at) {
    ResetPacket r;
    auto byte = [&](std::size_t i) { return p.at(at + i); };
    r.pilotLevel = byte(0);
    r.rdsLevel = byte(1);
    r.bitRate = static_cast<std::uint16_t>(byte(2) << 8 | byte(3));
    const std::uint8_t flags = byte(4);
    if ((flags & 0x1F) != 0) throw std::out_of_range("reset flags");
    r.spectrumFlag = (flags & 0x80) != 0;
    r.plusMode = (flags & 0x40) != 0;
    r.variableBitRate = (flags & 0x20) != 0;
    const std::size_t historyBytes = r.plusMode ? 12 : 16;
    std::size_t i = 5;
    for (ChannelRecord& record : r.records) {
        for (std::size_t h = 0; h < historyBytes; ++h) record.history[h] = byte(i++);
        record.power = byte(i++);
        record.qualityScale = byte(i++);
    }
    if (r.variableBitRate) {
        r.noiseLevel = byte(i++);
        r.maxBitRate = static_cast<std::uint16_t>(byte(i) << 8 | byte(i + 1));
        i += 2;
    }
    r.length = i;
    return r;
}

RdsSection readRds(const Bytes& p, std::size_t at) {
    RdsSection s;
    const std::uint8_t head = p.at(at);
    s.carry = (head & 0x80) != 0;
    s.boundary = (head & 0x40) != 0;
    s.bitCount = head & 0x3F;
    s.nextPhase = static_cast<std::uint16_t>(p.at(at + 1) << 8 | p.at(at + 2));
    for (int b = 0; b < s.bitCount; ++b) s.bits.push_back((p.at(at + 3 + b / 8) >> (7 - b % 8)) & 1);
    s.length = 3 + (static_cast<std::size_t>(s.bitCount) + 7) / 8;
    // Unused low bits of the last byte are zero.
    if (s.bitCount % 8 != 0 && (p.at(at + s.length - 1) & (0xFF >> (s.bitCount % 8))) != 0) {
        throw std::out_of_range("RDS padding");
    }
    return s;
}

}  // namespace

std::size_t planeLength(std::uint32_t sampleCount, std::uint32_t inputRate) {
    if (inputRate == 176400) {
        const float ratio = static_cast<float>(inputRate) / 38400.0f;
        return static_cast<std::size_t>(static_cast<float>(sampleCount) / ratio + 0.5f);
    }
    return sampleCount / (inputRate / 38400);
}

StreamParameters parametersOf(int version, const ResetPacket& reset) {
    StreamParameters s;
    s.version = version;
    s.bitRate = reset.bitRate;
    const int n = 1 << std::clamp(legacyExponent(reset.bitRate), 0, 20);
    s.legacyRange = n;
    if (version == 0) {
        const int levels = legacyLevelCount(n);
        while ((1 << s.escapeBits) < levels) ++s.escapeBits;
    } else if (version <= 2) {
        s.escapeBits = 5 + levelClassOf(std::clamp<std::int32_t>(reset.bitRate, 320, 576));
    } else {
        s.escapeBits = 5 + levelClassOf(std::clamp<std::int32_t>(reset.bitRate, reset.plusMode ? 160 : 320, 1000));
    }
    return s;
}

DecodedFrame decodeFrame(const StreamFrame& frame, std::optional<StreamParameters>& parameters,
                         std::uint32_t inputRate) {
    DecodedFrame d;
    const Bytes& p = frame.packet;
    d.packetLength = p.size();
    std::size_t at = frame.header.headerBytes;
    const std::uint8_t flags = frame.header.flags;
    const int version = frame.header.version;
    if (version > 3) throw std::out_of_range("unknown codec version");
    // Version 0 shares bit 0 of the flags byte with the stream position.
    const bool resetFlag = (flags & 0x40) != 0;
    d.difference = (flags & 0x20) != 0;
    d.thirdSilent = (flags & 0x10) != 0;
    if (resetFlag) {
        d.reset = readReset(p, at);
        if (d.reset->plusMode && version != 3) throw std::out_of_range("Plus mode outside version 3");
        at += d.reset->length;
        d.resetLength = d.reset->length;
        parameters = parametersOf(version, *d.reset);
    }
    if (!parameters) throw std::out_of_range("no reset packet yet");
    if (parameters->version != version) throw std::out_of_range("codec version changed without a reset packet");
    d.parameters = *parameters;
    d.pilotPhase = static_cast<std::uint16_t>(p.at(at) << 8 | p.at(at + 1));
    at += 2;
    d.rds = readRds(p, at);
    at += d.rds.length;

    const std::size_t n = planeLength(frame.header.sampleCount, inputRate);
    d.planeLength = n;
    const std::uint8_t* data = p.data();
    auto stream = [&](std::size_t count, bool third) {
        if (at > p.size()) throw std::out_of_range("frame ends early");
        DecodedStream s = version == 0
                              ? decodeLegacyStream(data + at, p.size() - at, count, parameters->legacyRange,
                                                   parameters->escapeBits, third)
                              : decodeWideStream(data + at, p.size() - at, count, parameters->bitRate,
                                                 version >= 3 ? 4 : 3, parameters->escapeBits);
        at += s.bytes;
        return s.values;
    };
    if (d.difference) {
        d.codes[0] = stream(n, false);
        d.codes[1] = stream(n, false);
        for (std::size_t i = 0; i < n; ++i) {
            d.codes[1][i] = static_cast<std::int32_t>(static_cast<std::uint32_t>(d.codes[1][i]) +
                                                      static_cast<std::uint32_t>(d.codes[0][i]));
        }
    } else {
        const std::vector<std::int32_t> joint = stream(2 * n, false);
        d.codes[0].assign(joint.begin(), joint.begin() + static_cast<std::ptrdiff_t>(n));
        d.codes[1].assign(joint.begin() + static_cast<std::ptrdiff_t>(n), joint.end());
    }
    d.codes[2] = d.thirdSilent ? std::vector<std::int32_t>(n, 0) : stream(n, true);
    if (at != p.size()) throw std::out_of_range("bytes left behind the last stream");
    return d;
}

}  // namespace streamdecoder
