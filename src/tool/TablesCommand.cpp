// kestrava-tool tables: prints entries of the codec's constant tables as hex bit patterns, so that
// they can be compared with a decoder's tables.
#include "tool/Commands.h"

#include "codec/HammingWindowFilter.h"
#include "codec/Quantizer.h"
#include "codec/TaperBank.h"

#include <bit>
#include <charconv>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string_view>

using kestrava::codec::HammingWindowFilter;
using kestrava::codec::Quantizer;
using kestrava::codec::levelClassCount;
using kestrava::codec::levelClassParameters;
using kestrava::codec::taperBank;
using kestrava::codec::taperColumns;
using kestrava::codec::taperRows;

namespace {

void usage(std::FILE* out = stderr) {
    std::fprintf(out,
                 "usage: kestrava-tool tables level --gen G --class C --index I   (G 1 or 2: double levels, 3: float)\n"
                 "       kestrava-tool tables taper ROW COL                       (ROW 0..16, COL 0..31)\n"
                 "       kestrava-tool tables hamming N                           (N 6 or 16)\n");
}

int fail(const char* message) {
    std::fprintf(stderr, "kestrava-tool tables: %s\n", message);
    usage();
    return 2;
}

// A whole argument as a decimal integer within [low, high].
bool parse(const char* text, long low, long high, long& value) {
    const std::string_view s(text);
    const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), value);
    return error == std::errc() && end == s.data() + s.size() && value >= low && value <= high;
}

void print(double v) { std::printf("0x%016" PRIX64 "\n", std::bit_cast<std::uint64_t>(v)); }
void print(float v) { std::printf("0x%08" PRIX32 "\n", std::bit_cast<std::uint32_t>(v)); }

int level(int argc, char** argv) {
    long gen = -1, levelClass = -1, index = -1;
    for (int i = 0; i < argc; i += 2) {
        if (i + 1 >= argc) return fail("missing value after an option");
        long* target = std::strcmp(argv[i], "--gen") == 0     ? &gen
                       : std::strcmp(argv[i], "--class") == 0 ? &levelClass
                       : std::strcmp(argv[i], "--index") == 0 ? &index
                                                              : nullptr;
        if (target == nullptr) return fail("unknown option");
        if (!parse(argv[i + 1], 0, 4095, *target)) return fail("option value out of range");
    }
    if (gen < 0 || levelClass < 0 || index < 0) return fail("--gen, --class and --index are all needed");
    if (gen < 1 || gen > 3) return fail("--gen must be 1, 2 or 3");
    if (levelClass >= levelClassCount) return fail("--class must be 0..7");
    if (static_cast<std::uint32_t>(index) >= levelClassParameters[levelClass].levelCount) {
        return fail("--index must be below the class's level count");
    }
    if (gen == 3) {
        const auto q = std::make_unique<Quantizer<float, 1>>();
        print(q->levelClasses[levelClass].levels[index]);
    } else {
        const auto q = std::make_unique<Quantizer<double, 1>>();
        print(q->levelClasses[levelClass].levels[index]);
    }
    return 0;
}

int taper(int argc, char** argv) {
    long row = 0, column = 0;
    if (argc != 2) return fail("taper takes ROW and COL");
    if (!parse(argv[0], 0, taperRows - 1, row) || !parse(argv[1], 0, taperColumns - 1, column)) {
        return fail("ROW must be 0..16 and COL 0..31");
    }
    print(taperBank[row][column]);
    return 0;
}

template <int N>
void printWindow() {
    const HammingWindowFilter<N> filter;
    for (double w : filter.coefficients) print(w);
}

int hamming(int argc, char** argv) {
    long n = 0;
    if (argc != 1 || !parse(argv[0], 0, 16, n) || (n != 6 && n != 16)) return fail("hamming takes N = 6 or 16");
    if (n == 6) {
        printWindow<6>();
    } else {
        printWindow<16>();
    }
    return 0;
}

}  // namespace

int runTablesCommand(int argc, char** argv) {
    if (wantsHelp(argc, argv)) {
        usage(stdout);
        return 0;
    }
    if (argc < 1) return fail("missing table name");
    const std::string_view table(argv[0]);
    if (table == "level") return level(argc - 1, argv + 1);
    if (table == "taper") return taper(argc - 1, argv + 1);
    if (table == "hamming") return hamming(argc - 1, argv + 1);
    return fail("unknown table");
}
