#pragma once

#include "codec/entropy/BitWriter.h"
#include "codec/entropy/HuffmanBuilder.h"
#include "codec/entropy/HuffmanTree.h"
#include "codec/entropy/WideBinLayout.h"

#include <array>
#include <cstdint>

class KestravaInstanceConfig;

namespace kestrava::codec::entropy {

// The entropy coder of one audio source: turns arrays of signed level codes into byte-aligned
// streams that start with their own table header, are written most significant bit first and end
// with zero bits up to the next byte. Streams carry no length, count or end mark.
//
// Codec version 0 uses the legacy coders (16-bin histogram header, fixed alphabet with escapes);
// every other version the run-length coder (wide histogram header, per-stream Huffman tree,
// zero-run escapes). A coder returns the stream's length in bytes, or 0 when it failed; every
// write is tested against the capacity first, so a coder never writes at or beyond
// buffer + capacity. Used on one thread only; allocates nothing after construction.
class EntropyCoder {
public:
    static constexpr std::int32_t maxEscapeBits = 32;

    explicit EntropyCoder(KestravaInstanceConfig* config);

    // Set at every reset packet: the legacy alphabet's r, and the one escape width both coder
    // families use. False (nothing changed) for r outside 0..2^20 or a width outside 0..32.
    bool configureReset(std::int32_t maxMagnitude, std::int32_t escapeWidth);
    std::int32_t escapeWidth() const { return escapeBits; }

    // Run-length stream of codec versions 1 and later. rate (kbit/s) lays out the histogram
    // bins; codecVersion 3 and above send 4-bit counts, below 3-bit counts. count 0 gives 0.
    std::uint32_t encode(const std::int32_t* values, std::uint32_t count, std::uint8_t* buffer, std::uint32_t capacity,
                         std::int32_t rate, std::uint32_t codecVersion);

    // Legacy streams of codec version 0: main channels, and the third channel with run codes
    // after zeros. count 0 gives the one-byte header 0x00.
    std::uint32_t encodeLegacy(const std::int32_t* values, std::uint32_t count, std::uint8_t* buffer,
                               std::uint32_t capacity);
    std::uint32_t encodeLegacyAux(const std::int32_t* values, std::uint32_t count, std::uint8_t* buffer,
                                  std::uint32_t capacity);

    // Counts magnitudes, scales the bins, builds the wide code and writes the header (countBits 3
    // or 4). False when there are no values, the header does not fit the capacity (nothing
    // written in either case) or the tree build failed.
    bool buildWideHistogram(const std::int32_t* values, std::uint32_t count, std::uint8_t* buffer,
                            std::uint32_t capacity, std::int32_t rate, std::uint32_t countBits);

    // One value at the writer's position in the run-length form. False, nothing written, when
    // it does not fit.
    bool encodeSymbol(std::int32_t value, std::uint8_t* buffer, std::uint32_t capacity);

    enum class HeaderResult { Written, BuildFailed, NoRoom };
    // Counts and scales the 16-bin histogram, builds the legacy code and writes its header.
    HeaderResult writeHistogram16(const std::int32_t* values, std::uint32_t count, std::uint8_t* buffer,
                                  std::uint32_t capacity);

    KestravaInstanceConfig* const config;
    std::uint32_t escapeCount = 0;
    std::array<std::uint32_t, WideBinLayout::maxBins> binCounts{};
    HuffmanTree tree;
    BitWriter writer;
    std::array<std::uint32_t, WideBinLayout::magnitudeLimit> magnitudeCounts{};
    HuffmanBuilder legacy;

private:
    std::uint32_t encodeLegacyStream(const std::int32_t* values, std::uint32_t count, std::uint8_t* buffer,
                                     std::uint32_t capacity, bool withRunCodes);
    bool writeLegacySymbol(std::int32_t value, std::uint8_t* buffer, std::uint32_t capacity);
    std::uint32_t fail();
    std::uint32_t finish(const BitWriter& w, std::uint32_t capacity);

    std::int32_t escapeBits = 0;
};

}  // namespace kestrava::codec::entropy
