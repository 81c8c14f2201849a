#pragma once

#include "codec/Encoder.h"
#include "codec/EncoderKernels.h"
#include "codec/LegacyEncoder.h"

#include <cstdint>
#include <memory>

class KestravaInstanceConfig;

namespace kestrava::codec {

// One encoder of a chosen codec version with its rate control, outside the frame encoder: the
// developer tool, the tests and the benchmark code blocks with it. It does no reset capture: it
// configures rate control once, starts both main step factors at 1 (versions 0 to 2; version 3 at its
// step scale) and builds the legacy level tables. After each block, rateUpdate() takes the frame's
// length in bytes, or estimatedFrameBytes() when no entropy coder is at hand.
class CodecSession {
public:
    struct Settings {
        std::int32_t version = 3;    // 0..3
        std::uint32_t rate = 320;    // kbit/s
        bool plusMode = false;       // version 3 only
        bool variableRate = false;   // with plusMode
        std::int32_t noiseLevel = 1; // variable-rate noise level
        std::int32_t maxRate = 0;    // variable-rate maximum, 0: the rate
    };

    struct Block {
        std::uint32_t thirdSilent = 1;
        float energy = 0.0f;
        std::uint32_t codeCount = 0;
    };

    // False from ok() when the version is outside 0..3 or the encoder could not be built.
    CodecSession(KestravaInstanceConfig* config, const Settings& settings,
                 const EncoderKernels& kernels = encoderKernels());
    ~CodecSession();

    bool ok() const;
    // The largest block the version's encoder takes.
    std::uint32_t maxBlockLength() const;
    // The bit width of a code magnitude for the payload coder: the first main class's levelBits
    // (versions 1 to 3), or the smallest e with 2^e >= levelCount (version 0).
    std::int32_t indexBits() const { return codeBits; }
    // Codes n samples of three planes (stride 8192); codes and reconstruction in the same layout.
    // Plane 0 is pre-filtered in place (versions 1 to 3).
    Block code(float* planes, std::int32_t* codePlanes, std::uint32_t n, float* reconstructionPlanes);
    // Rate control after a frame of n samples per channel that cost frameBytes.
    void rateUpdate(std::uint32_t n, std::int32_t frameBytes, const Block& block);

    // A stand-in for the entropy coder's frame length: per code 1 + 2 floor(log2(|c| + 1)) bits
    // (an Elias-gamma length), the third plane unless silent, rounded up to bytes.
    static std::int32_t estimatedFrameBytes(const std::int32_t* codePlanes, std::uint32_t n, bool thirdSilent);

    std::shared_ptr<Encoder<double, 0>> doubleEncoder;
    std::shared_ptr<Encoder<float, 4>> floatEncoder;
    std::shared_ptr<LegacyEncoder> legacyEncoder;

private:
    Settings settings;
    std::int32_t codeBits = 0;
};

}  // namespace kestrava::codec
