#pragma once

#include "audio/DemodulatedSample.h"

#include <cstdint>

namespace kestrava::audio { class AudioSource; }

namespace kestrava::audio::demod {

class MPXD;

// One demodulator cycle, with no thread of its own: a whole frame of the demodulator's input ring
// becomes records in the source's ring (a refused write resets the demodulator), then the pilot
// level and the RDS phase flag are published. The demodulator thread runs it under its mutex; the
// offline chain runs it on the caller's thread. `records` holds MPXD::hop records. Returns false,
// having done nothing, while less than a frame waits.
bool runDemodulatorCycle(MPXD& demodulator, kestrava::audio::DemodulatedSample* records, kestrava::audio::AudioSource& target);

// Pilot amplitude relative to a full pilot, at most 1; a level that is not a number counts as full.
float ratioOfPilotLevel(float level);

}  // namespace kestrava::audio::demod
