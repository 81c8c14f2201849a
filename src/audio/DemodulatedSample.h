#pragma once

namespace kestrava::audio {

// One demodulated record, as the demodulator hands it to the encoder: the five parts of the
// composite signal and the composite input sample at the record's position.
struct DemodulatedSample {
    float left = 0.0f;
    float right = 0.0f;
    float quad = 0.0f;
    float pilot = 0.0f;  // pilot phase
    float rds = 0.0f;
    float mpx = 1.0f;    // composite input sample; the encoder takes the block's peak of it
};

static_assert(sizeof(DemodulatedSample) == 6 * sizeof(float), "six packed floats");

}  // namespace kestrava::audio
