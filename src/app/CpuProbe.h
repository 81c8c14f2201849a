#pragma once

#include <cstdint>

// The processor words the feature probe reads.
struct CpuidWords {
    std::uint32_t highestLeaf = 0;  // leaf 0, first register
    std::uint32_t leaf1Ecx = 0;     // leaf 1, third register
    std::uint32_t leaf1Edx = 0;     // leaf 1, fourth register
    std::uint32_t leaf7Ebx = 0;     // leaf 7, second register (read only when leaf 7 exists)
    std::uint64_t xcr0 = 0;         // extended control register 0 (read only when the OS saves state)
};

// Which build of the vector routines the probe allows.
struct CpuProbe {
    bool sse2 = false;
    bool avxUsable = false;  // the processor has AVX and the operating system saves its registers
    bool avx2 = false;
    bool useAvx2Routines = false;
    bool useSse2Routines = false;
};

// A pure function of the words, so that every processor is a row of a table.
CpuProbe probeCpu(const CpuidWords& words, bool allowAvx2 = true, bool allowSse2 = true);

// The words of the processor this runs on (all zero off x86).
CpuidWords readCpuidWords();
