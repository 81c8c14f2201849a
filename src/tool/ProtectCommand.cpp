// kestrava-tool protect --key HEX32: reads one packet from standard input and writes its
// protected form (check byte and AES-128) to standard output.
#include "logging/KestravaInstanceConfig.h"
#include "net/SenderSlot.h"
#include "net/StreamEncryptor.h"
#include "tool/Commands.h"

#include <sodium.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

int usage(std::FILE* out = stderr) {
    std::fprintf(out, "usage: kestrava-tool protect --key HEX32 < packet > protected\n"
                         "  HEX32: the stream key as 32 hexadecimal digits\n"
                         "  the packet is 1 to 2047 bytes; the output is one byte longer\n");
    return out == stdout ? 0 : 2;
}

}  // namespace

int runProtectCommand(int argc, char** argv) {
    if (wantsHelp(argc, argv)) return usage(stdout);
    std::string key;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--key") == 0 && i + 1 < argc) {
            key = argv[++i];
        } else {
            return usage();
        }
    }
    if (key.empty()) return usage();

    std::vector<std::uint8_t> packet;
    std::uint8_t chunk[4096];
    std::size_t n = 0;
    while ((n = std::fread(chunk, 1, sizeof chunk, stdin)) > 0) {
        packet.insert(packet.end(), chunk, chunk + n);
        if (packet.size() > kestrava::net::SenderSlot::capacity) break;
    }
    if (packet.empty() || packet.size() >= kestrava::net::SenderSlot::capacity) {
        std::fprintf(stderr, "kestrava-tool protect: the packet must be 1 to %u bytes (got %zu%s)\n",
                     kestrava::net::SenderSlot::capacity - 1, packet.size(),
                     packet.size() > kestrava::net::SenderSlot::capacity ? " or more" : "");
        sodium_memzero(key.data(), key.size());
        return 1;
    }

    KestravaInstanceConfig config(192000, 2040);
    int status = 0;
    {
        kestrava::net::StreamEncryptor encryptor(&config);
        if (!encryptor.isValidKey(key)) {
            std::fprintf(stderr, "kestrava-tool protect: the key must be exactly 32 hexadecimal digits\n");
            status = 1;
        } else {
            config.engine.setText(EngineSettings::TextStreamKey2, key);
            config.engine.streamProtection = true;
            std::uint8_t buffer[kestrava::net::SenderSlot::capacity] = {};
            std::memcpy(buffer, packet.data(), packet.size());
            const std::uint32_t out =
                encryptor.protect(buffer, static_cast<std::uint32_t>(packet.size()), sizeof buffer);
            if (out != packet.size() + 1 || std::fwrite(buffer, 1, out, stdout) != out || std::fflush(stdout) != 0) {
                std::fprintf(stderr, "kestrava-tool protect: could not protect the packet\n");
                status = 1;
            }
            sodium_memzero(buffer, sizeof buffer);
        }
    }
    config.engine.setText(EngineSettings::TextStreamKey1, "");
    config.engine.setText(EngineSettings::TextStreamKey2, "");
    sodium_memzero(key.data(), key.size());
    return status;
}
