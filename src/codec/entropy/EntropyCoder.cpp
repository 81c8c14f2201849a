#include "codec/entropy/EntropyCoder.h"

#include "codec/entropy/EntropyMessages.h"
#include "codec/entropy/MagnitudeCounts.h"

#include <algorithm>
#include <bit>

namespace kestrava::codec::entropy {

namespace {

// |v| in two's complement, as unsigned: the most negative value keeps its sign bit.
std::uint32_t magnitudeOf(std::int32_t v) { return v < 0 ? 0u - std::uint32_t(v) : std::uint32_t(v); }

// Run sizes 5, 8, 13, 21, ...: the largest term not above `zeros` (>= 5) and its position.
struct RunSize {
    std::uint32_t size;
    std::uint32_t position;
};
RunSize largestRun(std::uint32_t zeros) {
    std::uint32_t a = 5, b = 8, position = 0;
    while (b <= zeros) {
        const std::uint32_t next = a + b;
        a = b;
        b = next;
        ++position;
    }
    return {a, position};
}

}  // namespace

EntropyCoder::EntropyCoder(KestravaInstanceConfig* config_) : config(config_), legacy(config_) {}

bool EntropyCoder::configureReset(std::int32_t maxMagnitude, std::int32_t width) {
    if (width < 0 || width > maxEscapeBits) return false;
    if (!legacy.configure(maxMagnitude)) return false;
    legacy.escapeWidth = width;
    escapeBits = width;
    return true;
}

std::uint32_t EntropyCoder::fail() {
    EntropyMessages::logError(config, EntropyMessages::symbolFailed);
    EntropyMessages::postBitstreamError(config);
    return 0;
}

std::uint32_t EntropyCoder::finish(const BitWriter& w, std::uint32_t capacity) {
    const std::uint32_t bytes = w.byteCount();
    if (bytes > capacity) EntropyMessages::logTooManyBytes(config, bytes, capacity);
    return bytes;
}

// ---- Run-length coder (codec versions 1 and later) ----

bool EntropyCoder::buildWideHistogram(const std::int32_t* values, std::uint32_t count, std::uint8_t* buffer,
                                      std::uint32_t capacity, std::int32_t rate, std::uint32_t countBits) {
    if (countBits != 3 && countBits != 4) return false;
    std::array<std::uint32_t, 256> counted;
    MagnitudeCounts::routines().countWide(values, count, counted);
    std::copy_n(counted.begin(), magnitudeCounts.size(), magnitudeCounts.begin());
    escapeCount = counted[255];

    const WideBinLayout layout(rate);
    binCounts.fill(0);
    std::uint32_t largest = 0;
    std::uint32_t last = 0;  // L: the last non-empty bin
    for (std::int32_t i = 0; i < layout.binCount; ++i) {
        const std::uint32_t end = std::min<std::uint32_t>(layout.first[std::size_t(i)] + layout.width[std::size_t(i)],
                                                          WideBinLayout::magnitudeLimit);
        std::uint32_t sum = 0;
        for (std::uint32_t m = layout.first[std::size_t(i)]; m < end; ++m) sum += magnitudeCounts[m];
        binCounts[std::size_t(i)] = sum;
        largest = std::max(largest, sum);
        if (sum != 0) last = std::uint32_t(i);
    }

    const std::uint32_t peak = std::max(largest, escapeCount);
    if (peak == 0) return false;  // no values: nothing to scale
    const std::uint32_t divisor = ((1024u << countBits) - 1025u) / peak;
    auto scale = [divisor](std::uint32_t x) { return ((divisor * x) >> 10) + (x != 0 ? 1u : 0u); };
    for (std::uint32_t i = 0; i <= last; ++i) binCounts[i] = scale(binCounts[i]);
    escapeCount = scale(escapeCount);

    // The header: last bin in 8 bits, L + 1 counts and the escape count.
    //   [ L:8 ][ c0:cb ][ c1:cb ] ... [ cL:cb ][ esc:cb ]
    const std::uint32_t headerBits = 8u + countBits * (last + 2u);
    writer = BitWriter{};
    if (!writer.hasRoom(headerBits, capacity)) return false;
    writer.reset(buffer);
    writer.writeBits(buffer, last, 8);
    for (std::uint32_t i = 0; i <= last; ++i) writer.writeBits(buffer, binCounts[i], countBits);
    writer.writeBits(buffer, escapeCount, countBits);
    return tree.build(binCounts.data(), escapeCount, last + 1u, rate, true, config);
}

bool EntropyCoder::encodeSymbol(std::int32_t value, std::uint8_t* buffer, std::uint32_t capacity) {
    const std::uint32_t magnitude = magnitudeOf(value);
    if (magnitude < 255u) {
        const SymbolCode& own = tree.codeOf(value);
        if (own.length != 0) {
            if (!writer.hasRoom(own.length, capacity)) return false;
            writer.writeBits(buffer, own.code, own.length);
            return true;
        }
    }
    const SymbolCode& escape = tree.codeOf(value > 0 ? 255 : -255);
    if (!writer.hasRoom(escape.length + std::uint32_t(escapeBits), capacity)) return false;
    writer.writeBits(buffer, escape.code, escape.length);
    writer.writeBits(buffer, magnitude, std::uint32_t(escapeBits));
    return true;
}

std::uint32_t EntropyCoder::encode(const std::int32_t* values, std::uint32_t count, std::uint8_t* buffer,
                                   std::uint32_t capacity, std::int32_t rate, std::uint32_t codecVersion) {
    if (count == 0) return 0;  // nothing to code; the histogram would divide by zero
    const std::uint32_t countBits = codecVersion >= 3 ? 4u : 3u;
    if (!buildWideHistogram(values, count, buffer, capacity, rate, countBits)) return fail();

    const SymbolCode zero = tree.codeOf(0);
    const SymbolCode run = tree.codeOf(HuffmanTree::runEscape);
    std::uint32_t i = 0;
    while (i < count) {
        if (values[i] != 0) {
            if (!encodeSymbol(values[i], buffer, capacity)) return fail();
            ++i;
            continue;
        }
        std::uint32_t zeros = 1;
        while (i + zeros < count && values[i + zeros] == 0) ++zeros;
        if (zeros < 5) {
            if (!encodeSymbol(0, buffer, capacity)) return fail();
            ++i;
            continue;
        }
        const RunSize runSize = largestRun(zeros);
        if (zero.length == 0 || run.length + runSize.position + 1u <= zero.length * runSize.size) {
            if (!writer.hasRoom(run.length, capacity)) return fail();
            writer.writeBits(buffer, run.code, run.length);
            // The length field: `position` one bits, then a zero bit.
            if (!writer.hasRoom(runSize.position + 1u, capacity)) return fail();
            writer.writeBits(buffer, ((std::uint64_t{1} << runSize.position) - 1u) << 1, runSize.position + 1u);
        } else {
            for (std::uint32_t k = 0; k < runSize.size; ++k) {
                if (!encodeSymbol(0, buffer, capacity)) return fail();
            }
        }
        i += runSize.size;
    }
    return finish(writer, capacity);
}

// ---- Legacy coders (codec version 0) ----

EntropyCoder::HeaderResult EntropyCoder::writeHistogram16(const std::int32_t* values, std::uint32_t count,
                                                          std::uint8_t* buffer, std::uint32_t capacity) {
    auto& bins = legacy.histogram16;
    bins.fill(0);
    MagnitudeCounts::routines().count16(values, count, bins);
    const std::uint64_t largest = *std::max_element(bins.begin(), bins.end());
    if (largest > 15u) {
        const std::uint64_t q = 15360u / largest;
        const std::uint64_t s = (largest * (q + 1u)) / 1024u <= 15u ? q + 1u : q;
        for (std::uint64_t& b : bins) b = (b * s) >> 10;
    }
    const std::int64_t sendable = std::min<std::int64_t>(std::int64_t(legacy.maxMagnitude) + 1, 16);
    std::int32_t n = 1;
    for (std::int32_t i = std::int32_t(sendable) - 1; i >= 1; --i) {
        if (bins[std::size_t(i)] != 0) {
            n = i + 1;
            break;
        }
    }
    if (!legacy.buildFromHistogram(n)) return HeaderResult::BuildFailed;

    // The header: n - 1 in 4 bits, then n counts of 4 bits.
    BitWriter& w = legacy.writer;
    const BitWriter before = w;
    w = BitWriter{};
    if (!w.hasRoom(4u + 4u * std::uint32_t(n), capacity)) {
        w = before;
        return HeaderResult::NoRoom;
    }
    w.reset(buffer);
    w.writeBits(buffer, std::uint64_t(n - 1), 4);
    for (std::int32_t i = 0; i < n; ++i) w.writeBits(buffer, bins[std::size_t(i)], 4);
    return HeaderResult::Written;
}

bool EntropyCoder::writeLegacySymbol(std::int32_t value, std::uint8_t* buffer, std::uint32_t capacity) {
    BitWriter& w = legacy.writer;
    if (value > legacy.escapeLow && value < legacy.escapeHigh) {
        const SymbolCode& code = legacy.codeOf(value);
        if (!w.hasRoom(code.length, capacity)) return false;
        w.writeBits(buffer, code.code, code.length);
        return true;
    }
    const SymbolCode& escape = legacy.codeOf(value >= legacy.escapeHigh ? legacy.escapeHigh : legacy.escapeLow);
    const auto width = std::uint32_t(legacy.escapeWidth);
    if (!w.hasRoom(escape.length + width, capacity)) return false;
    w.writeBits(buffer, escape.code, escape.length);
    w.writeBits(buffer, magnitudeOf(value), width);
    return true;
}

std::uint32_t EntropyCoder::encodeLegacyStream(const std::int32_t* values, std::uint32_t count, std::uint8_t* buffer,
                                               std::uint32_t capacity, bool withRunCodes) {
    switch (writeHistogram16(values, count, buffer, capacity)) {
    case HeaderResult::Written:
        break;
    case HeaderResult::BuildFailed:
        EntropyMessages::logError(config, withRunCodes ? EntropyMessages::auxHistogramFailed
                                                       : EntropyMessages::legacyHistogramFailed);
        return 0;
    case HeaderResult::NoRoom:
        return fail();
    }
    BitWriter& w = legacy.writer;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (!writeLegacySymbol(values[i], buffer, capacity)) return fail();
        if (!withRunCodes || values[i] != 0 || i == count - 1) continue;
        // Run code: b = bit length of the zeros that follow; b ones and a zero cover 2^(b-1).
        std::uint32_t following = 0;
        while (i + 1 + following < count && values[i + 1 + following] == 0) ++following;
        const auto b = std::uint32_t(std::bit_width(following));
        if (!w.hasRoom(b + 1u, capacity)) return fail();
        w.writeBits(buffer, ((std::uint64_t{1} << b) - 1u) << 1, b + 1u);
        if (b > 0) i += 1u << (b - 1u);
    }
    return finish(w, capacity);
}

std::uint32_t EntropyCoder::encodeLegacy(const std::int32_t* values, std::uint32_t count, std::uint8_t* buffer,
                                         std::uint32_t capacity) {
    return encodeLegacyStream(values, count, buffer, capacity, false);
}

std::uint32_t EntropyCoder::encodeLegacyAux(const std::int32_t* values, std::uint32_t count, std::uint8_t* buffer,
                                            std::uint32_t capacity) {
    return encodeLegacyStream(values, count, buffer, capacity, true);
}

}  // namespace kestrava::codec::entropy
