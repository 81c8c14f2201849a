#include "transport/ErasureKernels.h"

#include "platform/CpuFeatures.h"
#include "transport/XorBlocks.h"

namespace kestrava::transport {

const ErasureKernels& erasureKernels() {
    static const ErasureKernels& chosen = kestrava::useAvx2Routines() ? avx2ErasureKernels() : genericErasureKernels();
    return chosen;
}

void xorBlocks(std::uint8_t* out, const std::uint8_t* a, const std::uint8_t* b, std::int32_t length) {
    erasureKernels().xorBlocks(out, a, b, length);
}

}  // namespace kestrava::transport
