// kestrava-tool fec --k K --m M --block B
// Reads K data blocks of B bytes (one after the other) from standard input and writes the M
// recovery blocks of the erasure code, M x B bytes, to standard output.
#include "tool/Commands.h"

#include "transport/ErasureCoder.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

using kestrava::transport::ErasureCoder;

namespace {

int usage(std::FILE* out = stderr) {
    std::fprintf(out,
                 "usage: kestrava-tool fec --k K --m M --block B\n"
                 "  reads K x B bytes of data blocks from stdin, writes M x B bytes of recovery blocks to stdout\n"
                 "  (1 <= K <= 256, 1 <= M <= 256, 0 <= B <= %u; all three required)\n"
                 "  With K >= 2 and M >= 2, K + M must be at most 256 and B a multiple of 8.\n",
                 ErasureCoder::maxBlockBytes);
    return out == stdout ? 0 : 2;
}

bool parseCount(const char* text, long low, long high, long& value) {
    errno = 0;
    char* end = nullptr;
    value = std::strtol(text, &end, 10);
    return errno == 0 && end != text && *end == '\0' && value >= low && value <= high;
}

}  // namespace

int runFecCommand(int argc, char** argv) {
    if (wantsHelp(argc, argv)) return usage(stdout);
    long k = -1, m = -1, blockBytes = -1;
    for (int i = 0; i < argc; ++i) {
        long* target = std::strcmp(argv[i], "--k") == 0       ? &k
                       : std::strcmp(argv[i], "--m") == 0     ? &m
                       : std::strcmp(argv[i], "--block") == 0 ? &blockBytes
                                                              : nullptr;
        if (target == nullptr || i + 1 >= argc) return usage();
        const long high = target == &blockBytes ? static_cast<long>(ErasureCoder::maxBlockBytes) : 256;
        if (!parseCount(argv[++i], target == &blockBytes ? 0 : 1, high, *target)) return usage();
    }
    if (k < 0 || m < 0 || blockBytes < 0) return usage();

    const std::size_t b = static_cast<std::size_t>(blockBytes);
    std::vector<std::uint8_t> data(static_cast<std::size_t>(k) * b);
    if (std::fread(data.data(), 1, data.size(), stdin) != data.size()) {
        std::fprintf(stderr, "kestrava-tool fec: expected %zu bytes of data blocks on standard input\n", data.size());
        return 1;
    }
    std::vector<const std::uint8_t*> blocks;
    for (long j = 0; j < k; ++j) blocks.push_back(data.data() + j * b);
    std::vector<std::uint8_t> recovery(static_cast<std::size_t>(m) * b);
    std::unique_ptr<ErasureCoder> coder(new ErasureCoder);
    if (!coder) return 1;
    if (coder->encode(static_cast<std::int32_t>(k), static_cast<std::int32_t>(m), blocks.data(), recovery.data(),
                      static_cast<std::uint32_t>(b)) != 0) {
        std::fprintf(stderr,
                     "kestrava-tool fec: refused: with K >= 2 and M >= 2, K + M must be at most 256 and B a multiple "
                     "of 8\n");
        return 1;
    }
    if (std::fwrite(recovery.data(), 1, recovery.size(), stdout) != recovery.size() || std::fflush(stdout) != 0) {
        std::fprintf(stderr, "kestrava-tool fec: writing the recovery blocks failed\n");
        return 1;
    }
    return 0;
}
