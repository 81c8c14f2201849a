#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// A composite signal read whole from a file of 32-bit little-endian floats, played in a loop by
// the fake sound card. Loading happens at construction, never on the card's worker.
class CompositeFileSignal {
public:
    // Empty (and error() says why) when the file cannot be read or holds no whole sample.
    explicit CompositeFileSignal(const std::string& path);

    bool empty() const { return samples->empty(); }
    const std::string& error() const { return errorText; }
    // Fills the block with the next samples, wrapping at the end of the file; silence when empty.
    void operator()(float* block, std::uint32_t count);

private:
    std::shared_ptr<std::vector<float>> samples;
    std::size_t position = 0;
    std::string errorText;
};
