#include "StreamPackets.h"

#include <cryptopp/aes.h>

#include <algorithm>
#include <map>
#include <stdexcept>

namespace streamdecoder {

std::optional<std::vector<Bytes>> splitPacketFile(const Bytes& file) {
    std::vector<Bytes> packets;
    std::size_t at = 0;
    while (at < file.size()) {
        if (file.size() - at < 2) return std::nullopt;
        const std::size_t length = file[at] | (std::size_t{file[at + 1]} << 8);
        at += 2;
        if (file.size() - at < length) return std::nullopt;
        packets.emplace_back(file.begin() + static_cast<std::ptrdiff_t>(at),
                             file.begin() + static_cast<std::ptrdiff_t>(at + length));
        at += length;
    }
    return packets;
}

std::uint8_t crc8(const std::uint8_t* data, std::size_t length) {
    unsigned reg = 0;
    for (std::size_t i = 0; i < length; ++i) {
        reg ^= data[i];
        for (int b = 0; b < 8; ++b) reg = (reg & 0x80) != 0 ? ((reg << 1) ^ 0x07) & 0xFF : (reg << 1) & 0xFF;
    }
    return static_cast<std::uint8_t>(reg);
}

std::optional<Bytes> unprotect(const Bytes& packet, const Key& key) {
    if (packet.size() < 2) return std::nullopt;
    Bytes p = packet;
    // The sender encrypted the whole blocks among the N - 1 bytes that followed its version
    // byte before the check byte went in; N is one less than what arrived.
    const std::size_t encrypted = (packet.size() - 1) & ~std::size_t{15};
    CryptoPP::AES::Decryption aes(key.data(), key.size());
    for (std::size_t at = 1; at + 16 <= 1 + encrypted; at += 16) aes.ProcessBlock(&p[at]);
    if (crc8(p.data() + 2, p.size() - 2) != p[1]) return std::nullopt;
    p.erase(p.begin() + 1);
    return p;
}

std::optional<Key> parseKey(const std::string& text) {
    if (text.size() != 32) return std::nullopt;
    Key key{};
    for (std::size_t i = 0; i < 32; ++i) {
        const char c = text[i];
        const int d = c >= '0' && c <= '9'   ? c - '0'
                      : c >= 'a' && c <= 'f' ? c - 'a' + 10
                      : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                             : -1;
        if (d < 0) return std::nullopt;
        key[i / 2] = static_cast<std::uint8_t>(key[i / 2] * 16 + d);
    }
    return key;
}

namespace {

struct GroupSeen {
    std::uint32_t firstPosition = 0, count = 0, k = 0, m = 0;
    std::map<std::uint32_t, Bytes> recovery;  // index -> recovery block
};

// Signed distance of a 32-bit position from the origin, so a stream joined late and positions
// that wrap past 2^32 still sort.
std::int64_t relative(std::uint32_t position, std::uint32_t origin) {
    return static_cast<std::int32_t>(position - origin);
}

// A received frame as its group coded it: B bytes with the pad class in byte 1 and the pad
// count in the last one or two bytes.
Bytes prepared(const Bytes& frame, std::size_t b) {
    Bytes block(b, 0);
    std::copy(frame.begin(), frame.end(), block.begin());
    const std::size_t pad = b - frame.size();
    if (pad >= 256) {
        block[1] |= 0x08;
        block[b - 2] = static_cast<std::uint8_t>(pad >> 8);
        block[b - 1] = static_cast<std::uint8_t>(pad);
    } else if (pad > 0) {
        block[1] |= 0x04;
        block[b - 1] = static_cast<std::uint8_t>(pad);
    }
    return block;
}

}  // namespace

ReceivedStream receiveStream(const std::vector<Bytes>& packets, const std::optional<Key>& key) {
    ReceivedStream out;
    std::map<std::int64_t, StreamFrame> frames;
    std::map<std::int64_t, GroupSeen> groups;
    std::optional<std::uint32_t> origin;
    for (const Bytes& raw : packets) {
        std::optional<Bytes> packet = key ? unprotect(raw, *key) : std::optional<Bytes>(raw);
        if (!packet || packet->size() < 2) {
            ++out.rejectedPackets;
            continue;
        }
        const bool isRecovery = ((*packet)[1] & 0x80) != 0;
        try {
            if (isRecovery) {
                if (packet->size() <= 11) throw std::out_of_range("short recovery packet");
                const auto r = transporttest::readRecoveryHeader(*packet);
                // A Cauchy code over GF(256) has at most 256 blocks per group.
                if (r.k == 0 || r.m == 0 || r.index >= r.m || r.k + r.m > 256) throw std::out_of_range("bad group");
                if (!origin) origin = r.firstPosition;
                GroupSeen& g = groups[relative(r.firstPosition, *origin)];
                g.firstPosition = r.firstPosition;
                g.count = r.sampleCount;
                g.k = r.k;
                g.m = r.m;
                g.recovery[r.index] = Bytes(packet->begin() + 11, packet->end());
            } else {
                StreamFrame f;
                f.header = transporttest::readFrameHeader(*packet);
                if (f.header.headerBytes > packet->size()) throw std::out_of_range("short frame");
                f.packet = std::move(*packet);
                if (!origin) origin = f.header.position;
                frames[relative(f.header.position, *origin)] = std::move(f);
            }
        } catch (const std::out_of_range&) {
            ++out.rejectedPackets;
        }
    }

    for (auto& [start, g] : groups) {
        const std::size_t b = g.recovery.begin()->second.size();
        const int k = static_cast<int>(g.k), m = static_cast<int>(g.m);
        std::vector<Bytes> blocks;
        std::vector<bool> lost;
        int lostCount = 0;
        for (int j = 0; j < k; ++j) {
            const auto it = frames.find(start + static_cast<std::int64_t>(j) * g.count);
            const bool here = it != frames.end() && it->second.packet.size() <= b;
            blocks.push_back(here ? prepared(it->second.packet, b) : Bytes(b, 0));
            lost.push_back(!here);
            lostCount += here ? 0 : 1;
        }
        if (lostCount == 0) continue;
        for (int r = 0; r < m; ++r) {
            const auto it = g.recovery.find(static_cast<std::uint32_t>(r));
            const bool here = it != g.recovery.end() && it->second.size() == b;
            blocks.push_back(here ? it->second : Bytes(b, 0));
            lost.push_back(!here);
        }
        std::optional<std::vector<Bytes>> data;
        if (k == 1) {
            // A group of one frame repeats the prepared frame in every recovery packet.
            if (!lost[1]) data = std::vector<Bytes>{blocks[1]};
            for (int r = 1; r < m && !data; ++r) {
                if (!lost[1 + r]) data = std::vector<Bytes>{blocks[1 + r]};
            }
        } else {
            data = reference::decode(blocks, lost, k, m);
        }
        if (!data) {
            ++out.groupsBeyondRepair;
            continue;
        }
        for (int j = 0; j < k; ++j) {
            if (!lost[j]) continue;
            std::optional<Bytes> frame = transporttest::unpad((*data)[j]);
            if (!frame) continue;
            try {
                StreamFrame f;
                f.header = transporttest::readFrameHeader(*frame);
                f.packet = std::move(*frame);
                f.rebuilt = true;
                frames[relative(f.header.position, *origin)] = std::move(f);
            } catch (const std::out_of_range&) {
                ++out.rejectedPackets;
            }
        }
    }
    for (auto& [at, f] : frames) out.frames.push_back(std::move(f));
    return out;
}

}  // namespace streamdecoder
