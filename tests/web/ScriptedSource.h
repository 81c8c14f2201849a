#pragma once

#include "web/ByteChannel.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace webtest {

using Bytes = std::vector<std::uint8_t>;

// Bytes handed out at most `chunk` per receive; then the peer's close (0).
class ScriptedSource : public kestrava::web::ByteSource {
public:
    explicit ScriptedSource(Bytes bytes_, std::size_t chunk_ = 1 << 20) : bytes(std::move(bytes_)), chunk(chunk_) {}
    long receive(std::uint8_t* into, std::size_t max) override {
        ++receives;
        const std::size_t n = std::min({max, chunk, bytes.size() - taken});
        std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(taken), n, into);
        taken += n;
        return static_cast<long>(n);
    }
    std::size_t left() const { return bytes.size() - taken; }
    int receives = 0;

private:
    Bytes bytes;
    std::size_t chunk;
    std::size_t taken = 0;
};

class RecordingSink : public kestrava::web::ByteSink {
public:
    using ByteSink::send;
    void send(const std::uint8_t* data, std::size_t size) override {
        sends.emplace_back(data, data + size);
    }
    Bytes all() const {
        Bytes b;
        for (const auto& s : sends) b.insert(b.end(), s.begin(), s.end());
        return b;
    }
    std::string text() const {
        const Bytes b = all();
        return std::string(b.begin(), b.end());
    }
    std::vector<Bytes> sends;
};

// A client frame as a browser sends it: FIN, opcode, MASK and the shortest length form.
inline Bytes clientFrame(std::uint8_t opcode, const Bytes& payload, bool masked = true,
                         std::uint32_t key = 0x37FA213D) {
    Bytes f{static_cast<std::uint8_t>(0x80 | opcode)};
    const std::uint8_t mask = masked ? 0x80 : 0;
    const std::size_t n = payload.size();
    if (n <= 125) {
        f.push_back(static_cast<std::uint8_t>(mask | n));
    } else if (n <= 0xFFFF) {
        f.push_back(mask | 126);
        f.push_back(static_cast<std::uint8_t>(n >> 8));
        f.push_back(static_cast<std::uint8_t>(n));
    } else {
        f.push_back(mask | 127);
        for (int i = 7; i >= 0; --i) f.push_back(static_cast<std::uint8_t>(static_cast<std::uint64_t>(n) >> (8 * i)));
    }
    const std::uint8_t k[4] = {static_cast<std::uint8_t>(key >> 24), static_cast<std::uint8_t>(key >> 16),
                               static_cast<std::uint8_t>(key >> 8), static_cast<std::uint8_t>(key)};
    f.insert(f.end(), k, k + 4);  // read whether or not MASK is set
    for (std::size_t i = 0; i < n; ++i) f.push_back(masked ? payload[i] ^ k[i % 4] : payload[i]);
    return f;
}

inline Bytes bytesOf(const std::string& s) { return Bytes(s.begin(), s.end()); }

}  // namespace webtest
