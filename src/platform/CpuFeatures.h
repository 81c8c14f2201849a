#pragma once

#include <cstdint>

namespace kestrava {

// What the processor offers, read once.
struct CpuFeatures {
    bool sse2 = false;
    bool avx = false;   // the processor has AVX and the operating system saves its registers
    bool avx2 = false;  // and AVX2 on top
};

// The processor words the feature probe reads.
struct CpuidWords {
    std::uint32_t highestLeaf = 0;  // leaf 0, first register
    std::uint32_t leaf1Ecx = 0;     // leaf 1, third register
    std::uint32_t leaf1Edx = 0;     // leaf 1, fourth register
    std::uint32_t leaf7Ebx = 0;     // leaf 7, second register (read only when leaf 7 exists)
    std::uint64_t xcr0 = 0;         // extended control register 0 (read only when the OS saves state)
};

// A pure function of the words, so that every processor is a row of a table.
CpuFeatures probeCpu(const CpuidWords& words);

// The words of the processor this runs on (all zero off x86).
CpuidWords readCpuidWords();

const CpuFeatures& cpuFeatures();

// True when the environment forces the generic routines (KESTRAVA_CPU=generic), so that tests
// and fuzzers can compare both builds on one machine.
bool genericRoutinesForced();

// The one choice every dispatch point reads: use the AVX2 build of the hot routines.
// Decided once per process.
bool useAvx2Routines();

}  // namespace kestrava
