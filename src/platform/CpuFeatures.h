#pragma once

namespace kestrava {

// What the processor offers, read once.
struct CpuFeatures {
    bool sse2 = false;
    bool avx = false;
    bool avx2 = false;
};

const CpuFeatures& cpuFeatures();

// True when the environment forces the generic routines (KESTRAVA_CPU=generic), so that tests
// and fuzzers can compare both builds on one machine.
bool genericRoutinesForced();

// The one choice every dispatch point reads: use the AVX2 build of the hot routines.
// Decided once per process.
bool useAvx2Routines();

}  // namespace kestrava
