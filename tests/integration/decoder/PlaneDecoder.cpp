#include "PlaneDecoder.h"

#include <memory>

namespace streamdecoder {

namespace {

std::unique_ptr<GenerationDecoder> makeGeneration(int version) {
    switch (version) {
    case 0:
        return makeLegacyGeneration();
    case 1:
    case 2:
        return makeDoubleGeneration(version);
    case 3:
        return makeFloatGeneration();
    default:
        return nullptr;
    }
}

}  // namespace

DecodedPlanes decodePlanes(const StreamDecodeResult& stream) {
    DecodedPlanes result;
    std::unique_ptr<GenerationDecoder> generation;
    int generationVersion = -1;
    for (std::size_t f = 0; f < stream.frames.size(); ++f) {
        const DecodedFrame& frame = stream.frames[f];
        const int version = frame.parameters.version;
        if (frame.reset) {
            // The encoder builds a new coder at every change of version; so does the receiver.
            if (version != generationVersion) {
                generation = makeGeneration(version);
                generationVersion = version;
            }
            if (generation) generation->loadReset(*frame.reset, frame.parameters);
        } else if (version != generationVersion) {
            generation.reset();  // a version change without a reset packet leaves nothing to build on
            generationVersion = -1;
        }
        if (!generation) {
            ++result.unsupportedFrames;
            continue;
        }
        std::array<std::vector<float>, 3> planes;
        for (auto& p : planes) p.assign(frame.planeLength, 0.0f);
        generation->decode(frame, {planes[0].data(), planes[1].data(), planes[2].data()});
        result.positions.push_back(stream.positions[f]);
        result.planes.push_back(std::move(planes));
    }
    return result;
}

}  // namespace streamdecoder
