// kestrava-tool entropy: runs one entropy coder over a list of values and prints the stream.
//   entropy legacy --r R --escape-bits W [--aux] --values v1,v2,...
//   entropy rl --rate KBPS --count-bits 3|4 [--escape-bits W] --values v1,v2,...
#include "tool/Commands.h"

#include "codec/entropy/EntropyCoder.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

using kestrava::codec::entropy::EntropyCoder;

namespace {

void usage(std::FILE* out = stderr) {
    std::fprintf(out,
                 "usage: kestrava-tool entropy legacy --r R --escape-bits W [--aux] --values V1,V2,...\n"
                 "       kestrava-tool entropy rl --rate KBPS --count-bits 3|4 [--escape-bits W] --values V1,V2,...\n"
                 "  R: 0..1048576, the legacy alphabet's largest magnitude; |V| > R is escaped.\n"
                 "  W: 0..32 bits for an escaped magnitude (rl default 0); rl escapes |V| >= 255.\n"
                 "  An escaped value must fit its W bits. V: 32-bit integers.\n");
}

// The first value whose escaped magnitude does not fit the escape field, if any.
const std::int32_t* uncodable(const std::vector<std::int32_t>& values, std::int64_t escapedFrom, std::int32_t bits) {
    for (const std::int32_t& v : values) {
        const std::uint64_t magnitude = v < 0 ? std::uint64_t(-std::int64_t{v}) : std::uint64_t(v);
        if (magnitude >= std::uint64_t(escapedFrom) && magnitude >= (std::uint64_t{1} << bits)) return &v;
    }
    return nullptr;
}

bool parseInt(const char* text, std::int32_t& out) {
    if (text == nullptr || *text == '\0') return false;
    errno = 0;
    char* end = nullptr;
    const long long value = std::strtoll(text, &end, 10);
    if (errno != 0 || *end != '\0' || value < std::numeric_limits<std::int32_t>::min() ||
        value > std::numeric_limits<std::int32_t>::max()) {
        return false;
    }
    out = std::int32_t(value);
    return true;
}

bool parseValues(const char* text, std::vector<std::int32_t>& out) {
    std::string list(text);
    std::size_t start = 0;
    while (start <= list.size()) {
        const std::size_t comma = std::min(list.find(',', start), list.size());
        std::int32_t value = 0;
        if (!parseInt(list.substr(start, comma - start).c_str(), value)) return false;
        out.push_back(value);
        start = comma + 1;
    }
    return true;
}

struct Options {
    std::int32_t r = -1;
    std::int32_t escapeBits = -1;
    std::int32_t rate = std::numeric_limits<std::int32_t>::min();
    std::int32_t countBits = 0;
    bool aux = false;
    bool haveValues = false;
    std::vector<std::int32_t> values;
};

bool parseOptions(int argc, char** argv, Options& o) {
    for (int i = 0; i < argc; ++i) {
        const char* name = argv[i];
        if (std::strcmp(name, "--aux") == 0) {
            o.aux = true;
            continue;
        }
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        bool ok = value != nullptr;
        if (std::strcmp(name, "--r") == 0) {
            ok = ok && parseInt(value, o.r);
        } else if (std::strcmp(name, "--escape-bits") == 0) {
            ok = ok && parseInt(value, o.escapeBits);
        } else if (std::strcmp(name, "--rate") == 0) {
            ok = ok && parseInt(value, o.rate);
        } else if (std::strcmp(name, "--count-bits") == 0) {
            ok = ok && parseInt(value, o.countBits);
        } else if (std::strcmp(name, "--values") == 0) {
            ok = ok && parseValues(value, o.values);
            o.haveValues = ok;
        } else {
            std::fprintf(stderr, "kestrava-tool entropy: unknown option '%s'\n", name);
            return false;
        }
        if (!ok) {
            std::fprintf(stderr, "kestrava-tool entropy: bad value for %s\n", name);
            return false;
        }
        ++i;
    }
    return true;
}

}  // namespace

int runEntropyCommand(int argc, char** argv) {
    if (wantsHelp(argc, argv)) {
        usage(stdout);
        return 0;
    }
    if (argc < 1) {
        usage();
        return 2;
    }
    const bool legacyForm = std::strcmp(argv[0], "legacy") == 0;
    if (!legacyForm && std::strcmp(argv[0], "rl") != 0) {
        usage();
        return 2;
    }
    Options o;
    if (!parseOptions(argc - 1, argv + 1, o)) return 2;
    if (!o.haveValues) {
        std::fprintf(stderr, "kestrava-tool entropy: --values is required\n");
        return 2;
    }
    if (legacyForm && (o.r < 0 || o.escapeBits < 0)) {
        std::fprintf(stderr, "kestrava-tool entropy: legacy needs --r and --escape-bits\n");
        return 2;
    }
    if (!legacyForm && (o.rate == std::numeric_limits<std::int32_t>::min() || (o.countBits != 3 && o.countBits != 4))) {
        std::fprintf(stderr, "kestrava-tool entropy: rl needs --rate and --count-bits 3 or 4\n");
        return 2;
    }

    auto coder = std::make_unique<EntropyCoder>(nullptr);
    if (!coder->configureReset(legacyForm ? o.r : 0, o.escapeBits < 0 ? 0 : o.escapeBits)) {
        std::fprintf(stderr, "kestrava-tool entropy: r or escape bits out of range\n");
        return 2;
    }
    const std::int32_t bits = o.escapeBits < 0 ? 0 : o.escapeBits;
    if (const std::int32_t* bad = uncodable(o.values, legacyForm ? std::int64_t{o.r} + 1 : 255, bits)) {
        std::fprintf(stderr, "kestrava-tool entropy: %d cannot be coded: its escaped magnitude needs more than %d bits\n",
                     *bad, bits);
        return 2;
    }
    // Room for the longest stream: headers, and per value the longest code, escape and run code.
    const std::size_t capacity = 1024 + o.values.size() * 160;
    if (capacity > std::numeric_limits<std::uint32_t>::max()) return 2;
    std::vector<std::uint8_t> buffer(capacity);
    const auto count = std::uint32_t(o.values.size());
    std::uint32_t bytes = 0;
    if (legacyForm) {
        bytes = o.aux ? coder->encodeLegacyAux(o.values.data(), count, buffer.data(), std::uint32_t(capacity))
                      : coder->encodeLegacy(o.values.data(), count, buffer.data(), std::uint32_t(capacity));
    } else {
        // Codec version 3 and later send 4-bit counts; 1 stands for the 3-bit versions.
        const std::uint32_t version = o.countBits == 4 ? 3u : 1u;
        bytes = coder->encode(o.values.data(), count, buffer.data(), std::uint32_t(capacity), o.rate, version);
    }
    if (bytes == 0) {
        std::fprintf(stderr, "kestrava-tool entropy: the coder failed\n");
        return 1;
    }
    for (std::uint32_t i = 0; i < bytes; ++i) std::printf(i == 0 ? "%02X" : " %02X", buffer[i]);
    std::printf("\n");
    return 0;
}
