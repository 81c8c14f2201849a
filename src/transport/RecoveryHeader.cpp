#include "transport/RecoveryHeader.h"

#include "transport/BitWriter.h"

namespace kestrava::transport {

void writeRecoveryHeader(const RecoveryHeaderFields& f, std::uint8_t* out) {
    out[0] = static_cast<std::uint8_t>(f.version);
    BitWriter bits(out, 8);
    bits.put(1, 1);
    bits.put(f.firstPosition, 32);
    bits.put(f.sampleCount & 0xFFFFu, 16);
    bits.put(f.index & 0xFFu, 8);
    bits.put(f.frameCount & 0xFFu, 8);
    bits.put(f.overhead & 0xFFu, 8);
    bits.put(0, 7);
}

}  // namespace kestrava::transport
