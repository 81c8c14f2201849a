// WebSocket frames come from any white-listed browser or tool: whatever the bytes, the reader
// stays inside its buffer, answers with a frame it may send, and reads no byte past one frame.
#include "web/FrameReader.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {
class Source : public kestrava::web::ByteSource {
public:
    Source(const std::uint8_t* d, std::size_t n, std::size_t chunk_) : data(d), size(n), chunk(chunk_) {}
    long receive(std::uint8_t* into, std::size_t max) override {
        const std::size_t n = std::min({max, chunk, size - taken});
        std::copy_n(data + taken, n, into);
        taken += n;
        return static_cast<long>(n);
    }
    const std::uint8_t* data;
    std::size_t size, chunk, taken = 0;
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    // The first byte picks the mode, the receive size and a small buffer (so that the size
    // limits are reached often).
    const bool fake = (data[0] & 1) != 0;
    const std::size_t chunk = 1 + (data[0] >> 1 & 7) * 37;
    const std::size_t capacity = (data[0] & 0x80) != 0 ? 64 : 32'896;
    std::vector<std::uint8_t> buffer(capacity);
    Source source(data + 1, size - 1, chunk);
    for (int frames = 0; frames < 64; ++frames) {
        const auto r = kestrava::web::FrameReader::read(source, buffer.data(), buffer.size(), fake);
        if (!r.reply.empty() && (r.reply.data() < buffer.data() || r.reply.data() + r.reply.size() > buffer.data() + capacity)) {
            std::abort();
        }
        if (!r.message.empty() && (reinterpret_cast<const std::uint8_t*>(r.message.data()) < buffer.data() ||
                                   reinterpret_cast<const std::uint8_t*>(r.message.data()) + r.message.size() >
                                       buffer.data() + capacity)) {
            std::abort();
        }
        if (r.kind == kestrava::web::FrameReader::Kind::Refused || r.kind == kestrava::web::FrameReader::Kind::Close) break;
    }
    return 0;
}
