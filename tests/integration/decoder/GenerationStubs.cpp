// Placeholders until the rebuilders of these generations exist: no rebuilder, so the planes of
// their frames are counted as unsupported. Each function goes when its generation arrives.
#include "GenerationDecoder.h"

namespace streamdecoder {

std::unique_ptr<GenerationDecoder> makeFloatGeneration() { return nullptr; }

}  // namespace streamdecoder
