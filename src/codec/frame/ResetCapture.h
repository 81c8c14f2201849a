#pragma once

#include "codec/Encoder.h"
#include "codec/LegacyEncoder.h"

#include <cstdint>

namespace kestrava::codec::frame {

// The encoder's share of a reset packet: each writes the two 18-byte channel records (first main
// channel, then the second) at `records` and then puts the encoder into exactly the state the
// records describe, so that a decoder starting at this reset rebuilds the same state. Run on the
// encoder feed thread between blocks, never while the encoder's block coder runs.
//
//   record: [ history 0..15 (offset binary, oldest first) ][ rR ][ qS ]
//
// The single-precision generation fills history bytes 0..11 only (12..15 are 0). The legacy
// capture also clears the third channel's ring and the reservoir, but leaves the level tables and
// the rate to the reset packet.
namespace ResetCapture {

void capture(kestrava::codec::Encoder<double, 0>& encoder, std::uint8_t* records);
void capture(kestrava::codec::Encoder<float, 4>& encoder, std::uint8_t* records);
void capture(kestrava::codec::LegacyEncoder& encoder, std::uint8_t* records);

}  // namespace ResetCapture

}  // namespace kestrava::codec::frame
