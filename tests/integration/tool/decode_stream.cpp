// Test-side stream decoder: reads an encoder's packets (u16 little-endian length + bytes) from
// standard input and writes what it decoded.
//
//   kestrava-stream-decoder [--key HEX32] [--rate HZ] [--skip PACKETS] [--codes FILE] [--planes FILE]
//                           [--diagnostics]
//
// --codes writes the level codes of the three planes (int32 little-endian, block after block,
// each block plane 0, plane 1, plane 2); --planes writes the rebuilt channel planes the same way
// (float32 little-endian); --diagnostics prints one line per frame on stdout.
#include "decoder/PlaneDecoder.h"
#include "decoder/StreamDecoder.h"

#include <bit>
#include <cerrno>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

using namespace streamdecoder;

namespace {

int usage() {
    std::cerr << "usage: kestrava-stream-decoder [--key HEX32] [--rate HZ] [--skip PACKETS] [--codes FILE] "
                 "[--planes FILE] [--diagnostics]\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    DecoderOptions options;
    std::size_t skip = 0;
    std::string codesPath, planesPath;
    bool diagnostics = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--diagnostics") {
            diagnostics = true;
        } else if (arg == "--key" && hasValue) {
            options.key = parseKey(argv[++i]);
            if (!options.key) return usage();
        } else if (arg == "--rate" && hasValue) {
            options.inputRate = static_cast<std::uint32_t>(std::strtoul(argv[++i], nullptr, 10));
            if (options.inputRate < 38400) return usage();
        } else if (arg == "--skip" && hasValue) {
            const char* text = argv[++i];
            char* end = nullptr;
            errno = 0;
            const long long value = std::strtoll(text, &end, 10);
            if (end == text || *end != '\0' || errno != 0 || value < 0 || value > 2147483647) {
                std::cerr << "kestrava-stream-decoder: --skip must be 0..2147483647 packets, not " << text << "\n";
                return 2;
            }
            skip = static_cast<std::size_t>(value);
        } else if (arg == "--codes" && hasValue) {
            codesPath = argv[++i];
        } else if (arg == "--planes" && hasValue) {
            planesPath = argv[++i];
        } else {
            return usage();
        }
    }
    const Bytes file((std::istreambuf_iterator<char>(std::cin)), std::istreambuf_iterator<char>());
    auto packets = splitPacketFile(file);
    if (!packets) {
        std::cerr << "kestrava-stream-decoder: the packet file ends inside a packet\n";
        return 1;
    }
    packets->erase(packets->begin(), packets->begin() + static_cast<std::ptrdiff_t>(std::min(skip, packets->size())));
    if (diagnostics) options.diagnostics = &std::cout;
    const StreamDecodeResult r = decodeStream(*packets, options);
    if (!codesPath.empty()) {
        std::ofstream out(codesPath, std::ios::binary);
        for (const DecodedFrame& f : r.frames) {
            for (const auto& plane : f.codes) {
                for (std::int32_t v : plane) {
                    const auto u = static_cast<std::uint32_t>(v);
                    const char bytes[4] = {static_cast<char>(u), static_cast<char>(u >> 8), static_cast<char>(u >> 16),
                                           static_cast<char>(u >> 24)};
                    out.write(bytes, 4);
                }
            }
        }
        if (!out) {
            std::cerr << "kestrava-stream-decoder: cannot write " << codesPath << "\n";
            return 1;
        }
    }
    std::size_t unsupported = 0;
    if (!planesPath.empty()) {
        const DecodedPlanes planes = decodePlanes(r);
        unsupported = planes.unsupportedFrames;
        std::ofstream out(planesPath, std::ios::binary);
        for (const auto& frame : planes.planes) {
            for (const auto& plane : frame) {
                for (float v : plane) {
                    const auto u = std::bit_cast<std::uint32_t>(v);
                    const char bytes[4] = {static_cast<char>(u), static_cast<char>(u >> 8), static_cast<char>(u >> 16),
                                           static_cast<char>(u >> 24)};
                    out.write(bytes, 4);
                }
            }
        }
        if (!out) {
            std::cerr << "kestrava-stream-decoder: cannot write " << planesPath << "\n";
            return 1;
        }
        if (unsupported != 0) std::cerr << "no plane rebuilder for " << unsupported << " frames\n";
    }
    std::cerr << "decoded " << r.frames.size() << " frames; skipped " << r.skippedFrames << ", unreadable "
              << r.unreadableFrames << ", gaps " << r.gaps << ", rejected packets " << r.received.rejectedPackets
              << ", groups beyond repair " << r.received.groupsBeyondRepair << "\n";
    if (r.frames.empty() && r.unreadableFrames > 0) {
        // The plane length of a frame follows from its sample count and the input rate.
        std::cerr << "kestrava-stream-decoder: decoded nothing: no frame fits --rate " << options.inputRate
                  << "; was the stream coded at another input rate?\n";
    }
    return r.unreadableFrames == 0 ? 0 : 1;
}
