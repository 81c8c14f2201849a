#pragma once

#include <cstddef>
#include <cstdint>

namespace kestrava::audio::soundcard {

// A composite test signal for the fake sound card, the offline encoder and their checks:
//   - a 19 kHz pilot at 9 % of full scale,
//   - a stereo tone: 1 kHz on the left, 400 Hz on the right at 0.6 times its level, sent as sum
//     and difference (the difference on the 38 kHz subcarrier, locked to the pilot), at the level
//     that puts the composite's sample peak at 0.995 of full scale at the signal's rate, as a
//     broadcast multiplex is driven (the encoder's input check expects 0.99 to 1.0),
//   - an RDS data stream at 1187.5 bit/s (differentially coded, biphase symbols shaped as one
//     sine cycle per bit) on the 57 kHz subcarrier at 4 % of full scale.
// The signal is the same on every run: the RDS data bits come from a fixed linear-feedback
// sequence, so encoder runs over it can be compared bit for bit.
class CompositeTestSignal {
public:
    explicit CompositeTestSignal(double sampleRate);

    // The next `count` samples.
    void generate(float* out, std::size_t count);

private:
    // Differentially coded RDS data: each data bit from a 15-bit maximal-length sequence.
    int nextRdsLevel();

    // The sample at the current position with the tones at level `tones`; moves on by one.
    double next(double tones);

    double rate;
    double toneLevel = 1.0;
    std::uint64_t sampleIndex = 0;
    std::uint64_t bitIndex = 0;
    unsigned lfsr = 0x2A5Bu;
    int level = 0;
    int symbol = 0;
    bool started = false;
};

}  // namespace kestrava::audio::soundcard
