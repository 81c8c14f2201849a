#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kestrava::audio::soundcard {

// A composite signal read whole from a file of 32-bit little-endian floats, played in a loop by
// the fake sound card. Loading happens at construction, never on the card's worker.
class CompositeFileSignal {
public:
    // Files are read whole into memory, so their size is bounded.
    static constexpr std::uint64_t maxFileBytes = std::uint64_t{256} << 20;

    // Empty (and error() says why) when the file cannot be read, is not a regular file (a
    // directory, a device, a pipe), is larger than maxFileBytes, holds no whole sample, or when
    // `stop` is set while it is read.
    explicit CompositeFileSignal(const std::string& path, const std::atomic<bool>* stop = nullptr);

    bool empty() const { return samples->empty(); }
    const std::string& error() const { return errorText; }
    // Fills the block with the next samples, wrapping at the end of the file; silence when empty.
    void operator()(float* block, std::uint32_t count);

private:
    std::shared_ptr<std::vector<float>> samples;
    std::size_t position = 0;
    std::string errorText;
};

}  // namespace kestrava::audio::soundcard
