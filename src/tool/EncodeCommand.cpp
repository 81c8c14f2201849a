// kestrava-tool encode --rate HZ --version V --kbps R [--plus] [--vbr] [--k K --m M] [--key HEX32]
//                      [--recon FILE] [--input-planes FILE] [--verbose]
// Reads a composite signal (float32 little-endian) from standard input, runs it through the
// encoder's own chain (demodulator, encode step, transport sender with redundancy, protection)
// without threads or sockets, and writes every packet that would be sent: u16 little-endian
// length, then the bytes. --recon writes the encoder's reconstruction of the three channel planes
// (float32 little-endian, per frame plane 0, plane 1, plane 2); --input-planes the planes it coded;
// --verbose prints the chain's log on standard error.
#include "tool/Commands.h"

#include "app/OfflineChain.h"

#include <bit>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

int usage() {
    std::fprintf(stderr,
                 "usage: kestrava-tool encode --rate HZ --version V --kbps R [--plus] [--vbr] [--k K --m M]\n"
                 "                            [--key HEX32] [--recon FILE] [--input-planes FILE] [--verbose]\n"
                 "                            < composite.f32 > packets.bin\n");
    return 2;
}

bool parseInt(const char* text, long low, long high, std::int64_t& value) {
    char* end = nullptr;
    const long long v = std::strtoll(text, &end, 10);
    if (end == text || *end != '\0' || v < low || v > high) return false;
    value = v;
    return true;
}

std::optional<std::array<std::uint8_t, 16>> parseKey(const std::string& text) {
    if (text.size() != 32) return std::nullopt;
    std::array<std::uint8_t, 16> key{};
    for (std::size_t i = 0; i < 32; ++i) {
        const int c = std::tolower(static_cast<unsigned char>(text[i]));
        int v;
        if (c >= '0' && c <= '9') {
            v = c - '0';
        } else if (c >= 'a' && c <= 'f') {
            v = c - 'a' + 10;
        } else {
            return std::nullopt;
        }
        key[i / 2] = static_cast<std::uint8_t>(key[i / 2] << 4 | v);
    }
    return key;
}

struct FileCloser {
    void operator()(std::FILE* f) const {
        if (f != nullptr) std::fclose(f);
    }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

}  // namespace

int runEncodeCommand(int argc, char** argv) {
    static_assert(std::endian::native == std::endian::little, "samples are read and written in host order");
    OfflineChainOptions o;
    bool haveRate = false, haveVersion = false, haveKbps = false, verbose = false;
    std::string reconPath, inputPath;
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        std::int64_t v = 0;
        if (arg == "--plus") {
            o.plusMode = true;
        } else if (arg == "--vbr") {
            o.variableBitRate = true;
        } else if (arg == "--verbose") {
            verbose = true;
        } else if (value == nullptr) {
            return usage();
        } else if (arg == "--rate" && parseInt(value, 1, 10'000'000, v)) {
            o.inputRate = static_cast<std::uint32_t>(v);
            haveRate = true;
            ++i;
        } else if (arg == "--version" && parseInt(value, 0, 3, v)) {
            o.version = static_cast<std::int32_t>(v);
            haveVersion = true;
            ++i;
        } else if (arg == "--kbps" && parseInt(value, 1, 10'000, v)) {
            o.kbps = static_cast<std::int32_t>(v);
            haveKbps = true;
            ++i;
        } else if (arg == "--k" && parseInt(value, 1, 255, v)) {
            o.groupFrames = static_cast<std::int32_t>(v);
            ++i;
        } else if (arg == "--m" && parseInt(value, 1, 255, v)) {
            o.recoveryPackets = static_cast<std::int32_t>(v);
            ++i;
        } else if (arg == "--key") {
            o.key = parseKey(value);
            if (!o.key) return usage();
            ++i;
        } else if (arg == "--recon") {
            reconPath = value;
            ++i;
        } else if (arg == "--input-planes") {
            inputPath = value;
            ++i;
        } else {
            return usage();
        }
    }
    if (!haveRate || !haveVersion || !haveKbps) return usage();
    if ((o.groupFrames > 0) != (o.recoveryPackets > 0) || o.groupFrames + o.recoveryPackets > 256) {
        std::fprintf(stderr, "kestrava-tool encode: --k and --m go together, k + m at most 256\n");
        return 2;
    }

    OfflineChain chain(o);
    if (!chain.error().empty()) {
        std::fprintf(stderr, "kestrava-tool encode: %s\n", chain.error().c_str());
        return 2;
    }
    if (verbose) chain.logToStderr();
    bool writeFailed = false;
    chain.onPacket = [&](const std::uint8_t* data, std::size_t length) {
        const std::uint8_t prefix[2] = {static_cast<std::uint8_t>(length & 0xFF), static_cast<std::uint8_t>(length >> 8)};
        if (std::fwrite(prefix, 1, 2, stdout) != 2 || std::fwrite(data, 1, length, stdout) != length) writeFailed = true;
    };
    auto planeWriter = [&](const std::string& path, OfflineChain::PlanesCallback& callback) -> File {
        if (path.empty()) return nullptr;
        File file(std::fopen(path.c_str(), "wb"));
        if (!file) return nullptr;
        std::FILE* f = file.get();
        callback = [&writeFailed, f](const std::array<const float*, 3>& planes, std::uint32_t n) {
            for (const float* plane : planes) {
                if (std::fwrite(plane, sizeof(float), n, f) != n) writeFailed = true;
            }
        };
        return file;
    };
    const File recon = planeWriter(reconPath, chain.onReconstruction);
    const File input = planeWriter(inputPath, chain.onInput);
    if ((!reconPath.empty() && !recon) || (!inputPath.empty() && !input)) {
        std::fprintf(stderr, "kestrava-tool encode: cannot open the planes file\n");
        return 1;
    }

    std::vector<float> chunk(4096);
    for (;;) {
        const std::size_t got = std::fread(chunk.data(), sizeof(float), chunk.size(), stdin);
        chain.feed(chunk.data(), got);
        if (writeFailed) break;
        if (got < chunk.size()) break;
    }
    if (std::ferror(stdin)) {
        std::fprintf(stderr, "kestrava-tool encode: cannot read the composite signal\n");
        return 1;
    }
    if (writeFailed || std::fflush(stdout) != 0) {
        std::fprintf(stderr, "kestrava-tool encode: cannot write the output\n");
        return 1;
    }
    return 0;
}
