#include "codec/entropy/BitWriter.h"

namespace kestrava::codec::entropy {

void BitWriter::reset(std::uint8_t* buffer) {
    byteIndex = 0;
    bitCount = 0;
    buffer[0] = 0;
}

}  // namespace kestrava::codec::entropy
