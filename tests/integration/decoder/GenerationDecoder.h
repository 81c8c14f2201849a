#pragma once

// Rebuilding the three channel planes from a frame's level codes. Each codec generation keeps the
// same state the encoder keeps: predictor histories, step powers and the rate control, reloaded
// from every reset packet and moved on by every frame. The rebuilt samples must equal the
// encoder's own reconstruction bit for bit, so every operation and its order follow the stream's
// description; the encoder's coding functions are never called.
#include "FrameSections.h"

#include <array>
#include <cstddef>
#include <memory>

namespace streamdecoder {

// Codes per channel of the longest frame.
inline constexpr std::size_t maxPlaneLength = 8192;

class GenerationDecoder {
public:
    virtual ~GenerationDecoder() = default;
    // The state a reset packet describes replaces the coding state. Called for a frame that
    // carries one, before decode() of the same frame.
    virtual void loadReset(const ResetPacket& reset, const StreamParameters& parameters) = 0;
    // Rebuilds frame.planeLength samples of the first main, second main and third plane into
    // planes[0..2], then moves the rate control on by frame.rateBytes(), as the encoder does
    // after sending the frame.
    virtual void decode(const DecodedFrame& frame, const std::array<float*, 3>& planes) = 0;
};

// One generation per codec version: the double-precision generation (versions 1 and 2), the
// single-precision generation (version 3) and the legacy generation (version 0).
std::unique_ptr<GenerationDecoder> makeDoubleGeneration(int version);
std::unique_ptr<GenerationDecoder> makeFloatGeneration();
std::unique_ptr<GenerationDecoder> makeLegacyGeneration();

}  // namespace streamdecoder
