// kestrava-tool encode --rate HZ --version V --kbps R [--plus] [--vbr] [--k K --m M] [--key HEX32]
//                      [--recon FILE] [--input-planes FILE] [--nmea FILE | --nmea-synthetic] [--verbose]
// Reads a composite signal (float32 little-endian) from standard input, runs it through the
// encoder's own chain (demodulator, encode step, transport sender with redundancy, protection)
// on the caller's thread (plus the codec's worker and the logger's writer) without sockets, and writes every packet that would be sent: u16 little-endian
// length, then the bytes. --recon writes the encoder's reconstruction of the three channel planes
// (float32 little-endian, per frame plane 0, plane 1, plane 2); --input-planes the planes it coded;
// --nmea stamps the stream with GPS time from NMEA reads timed in stream seconds, --nmea-synthetic
// from a 1 Hz receiver; --verbose prints the chain's log on standard error.
#include "tool/Commands.h"

#include "app/OfflineChain.h"
#include "codec/BitRateRange.h"
#include "gps/NmeaScript.h"

#include <bit>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr const char* help =
    "usage: kestrava-tool encode --rate HZ --version V --kbps R [--plus] [--vbr] [--k K --m M]\n"
    "                            [--key HEX32] [--recon FILE] [--input-planes FILE]\n"
    "                            [--nmea FILE | --nmea-synthetic] [--verbose]\n"
    "                            < composite.f32 > packets.bin\n"
    "  Codes a composite signal (float32 little-endian) with the encoder's own chain and writes every\n"
    "  packet it would send (u16 little-endian length, then the packet).\n"
    "  --rate HZ       input rate: 176400, or a multiple of 38400 from 38400 to 384000 (required)\n"
    "  --version V     codec version 0, 1, 2 or 3 (required)\n"
    "  --kbps R        bit rate (required): version 0 takes 320, 340, 360, 384 or 400; versions 1\n"
    "                  and 2 take 320..576; version 3 takes 320..1000, in Plus mode 160..1000\n"
    "  --plus, --vbr   Plus mode and variable bit rate (version 3 only; default off)\n"
    "  --k K --m M     redundancy groups of K frames and M recovery packets, both 1..255 and\n"
    "                  K + M at most 256 (default: no redundancy)\n"
    "  --key HEX32     stream protection with this key, 32 hexadecimal digits (default: off)\n"
    "  --recon FILE    the encoder's reconstruction of the three channel planes (float32)\n"
    "  --input-planes FILE  the planes it coded (float32)\n"
    "  --nmea FILE     GPS time stamps from NMEA reads: one per line, the arrival in seconds from\n"
    "                  the start of the signal, a space, then the bytes (lines starting '#' skipped)\n"
    "  --nmea-synthetic  GPS time stamps from a synthetic 1 Hz receiver (RMC and GGA each second)\n"
    "  --verbose       the chain's whole log on standard error (errors always go there)\n"
    "  Exits 1 when no frame was sent.\n";

int fail(const std::string& reason) {
    std::fprintf(stderr, "kestrava-tool encode: %s\n(kestrava-tool encode --help lists the options)\n", reason.c_str());
    return 2;
}

bool parseInt(const char* text, long low, long high, std::int64_t& value) {
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(text, &end, 10);
    if (end == text || *end != '\0' || errno != 0 || v < low || v > high) return false;
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
        if (arg == "--help" || arg == "-h") {
            std::fputs(help, stdout);
            return 0;
        } else if (arg == "--plus") {
            o.plusMode = true;
        } else if (arg == "--vbr") {
            o.variableBitRate = true;
        } else if (arg == "--verbose") {
            verbose = true;
        } else if (arg == "--nmea-synthetic") {
            o.nmeaSynthetic = true;
        } else if (arg != "--rate" && arg != "--version" && arg != "--kbps" && arg != "--k" && arg != "--m" &&
                   arg != "--key" && arg != "--recon" && arg != "--input-planes" && arg != "--nmea") {
            return fail("unknown option '" + arg + "'");
        } else if (value == nullptr) {
            return fail(arg + " needs a value");
        } else if (arg == "--rate") {
            const bool supported = parseInt(value, 38400, 384000, v) && (v == 176400 || v % 38400 == 0);
            if (!supported) return fail("--rate must be 176400 or a multiple of 38400 from 38400 to 384000, not " + std::string(value));
            o.inputRate = static_cast<std::uint32_t>(v);
            haveRate = true;
            ++i;
        } else if (arg == "--version") {
            if (!parseInt(value, 0, 3, v)) return fail("--version must be 0, 1, 2 or 3, not " + std::string(value));
            o.version = static_cast<std::int32_t>(v);
            haveVersion = true;
            ++i;
        } else if (arg == "--kbps") {
            if (!parseInt(value, 1, 100'000, v)) return fail("--kbps must be a bit rate in kbit/s, not " + std::string(value));
            o.kbps = static_cast<std::int32_t>(v);
            haveKbps = true;
            ++i;
        } else if (arg == "--k" || arg == "--m") {
            if (!parseInt(value, 1, 255, v)) return fail(arg + " must be 1..255, not " + std::string(value));
            (arg == "--k" ? o.groupFrames : o.recoveryPackets) = static_cast<std::int32_t>(v);
            ++i;
        } else if (arg == "--key") {
            o.key = parseKey(value);
            if (!o.key) return fail("--key must be exactly 32 hexadecimal digits");
            ++i;
        } else if (arg == "--nmea") {
            std::ifstream in(value, std::ios::binary);
            std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            if (!in && !in.eof()) return fail("cannot read the NMEA script " + std::string(value));
            std::string error;
            o.nmea = kestrava::gps::NmeaScript::parse(text, error);
            if (!o.nmea) return fail("NMEA script " + std::string(value) + ": " + error);
            ++i;
        } else {
            (arg == "--recon" ? reconPath : inputPath) = value;
            ++i;
        }
    }
    if (!haveRate || !haveVersion || !haveKbps) return fail("--rate, --version and --kbps are required");
    if (o.nmea && o.nmeaSynthetic) return fail("--nmea and --nmea-synthetic exclude each other");
    if ((o.plusMode || o.variableBitRate) && o.version != 3) return fail("--plus and --vbr need --version 3");
    if (const std::string refusal = kestrava::codec::bitRateRefusal(o.version, o.kbps, o.plusMode); !refusal.empty()) {
        return fail("--kbps: " + refusal);
    }
    if ((o.groupFrames > 0) != (o.recoveryPackets > 0) || o.groupFrames + o.recoveryPackets > 256) {
        return fail("--k and --m go together, k + m at most 256");
    }

    auto chain = std::make_unique<OfflineChain>(o);
    if (!chain->error().empty()) return fail(chain->error());
    chain->logToStderr(verbose);
    bool writeFailed = false;
    std::uint64_t packets = 0;
    chain->onPacket = [&](const std::uint8_t* data, std::size_t length) {
        ++packets;
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
    const File recon = planeWriter(reconPath, chain->onReconstruction);
    const File input = planeWriter(inputPath, chain->onInput);
    if ((!reconPath.empty() && !recon) || (!inputPath.empty() && !input)) {
        std::fprintf(stderr, "kestrava-tool encode: cannot open the planes file\n");
        return 1;
    }

    std::vector<float> chunk(4096);
    for (;;) {
        const std::size_t got = std::fread(chunk.data(), sizeof(float), chunk.size(), stdin);
        chain->feed(chunk.data(), got);
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
    chain.reset();  // its log reaches standard error before the verdict
    if (packets == 0) {
        std::fprintf(stderr, "kestrava-tool encode: no frame was sent\n");
        return 1;
    }
    return 0;
}
