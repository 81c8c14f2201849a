#include "audio/soundcard/CompositeFileSignal.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <fstream>
#include <iterator>

CompositeFileSignal::CompositeFileSignal(const std::string& path) : samples(std::make_shared<std::vector<float>>()) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        errorText = "cannot open " + path;
        return;
    }
    const std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const std::size_t count = bytes.size() / sizeof(float);
    samples->resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        std::uint32_t word = 0;
        for (int b = 3; b >= 0; --b) word = (word << 8) | static_cast<unsigned char>(bytes[i * 4 + static_cast<std::size_t>(b)]);
        (*samples)[i] = std::bit_cast<float>(word);
    }
    if (count == 0) errorText = path + " holds no 32-bit float sample";
}

void CompositeFileSignal::operator()(float* block, std::uint32_t count) {
    const std::vector<float>& data = *samples;
    if (data.empty()) {
        std::fill(block, block + count, 0.0f);
        return;
    }
    for (std::uint32_t i = 0; i < count; ++i) {
        block[i] = data[position];
        if (++position == data.size()) position = 0;
    }
}
