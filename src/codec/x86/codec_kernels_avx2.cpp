// The AVX2 set of CodecKernels.
#include "codec/CodecKernels.h"
#include "codec/x86/Avx2Kernels.h"

namespace kestrava::codec {

namespace x86 {

extern const CodecKernels avx2Kernels;
const CodecKernels avx2Kernels = {"avx2",           lpc16CorrelateAvx2, lpc11SumsAvx2,     lpc11EdgeSumsAvx2,
                                  lpc5CorrelateAvx2, lpc3CorrelateAvx2, preFilterScaleAvx2};

}  // namespace x86

}  // namespace kestrava::codec
