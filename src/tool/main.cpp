// kestrava-tool: developer subcommands that expose parts of the encoder for checking.
#include "tool/Commands.h"

#include <cstdio>
#include <cstring>

namespace {

struct Command {
    const char* name;
    int (*run)(int, char**);
    const char* summary;
};

constexpr Command commands[] = {
    {"tables", runTablesCommand, "print codec table entries as hex bit patterns"},
    {"fec", runFecCommand, "erasure-code K data blocks from stdin into M recovery blocks"},
    {"param-name", runParamNameCommand, "print the name of a parameter identifier"},
    {"param-words", runParamWordsCommand, "print the update words of a parameter kind"},
    {"code", runCodeCommand, "code blocks of channel planes into level codes"},
    {"entropy", runEntropyCommand, "run one entropy coder and print its bytes"},
    {"protect", runProtectCommand, "protect one packet from stdin with a stream key"},
    {"netifs", runNetifsCommand, "list the network interfaces"},
    {"audio", runAudioCommand, "list the sound devices"},
    {"demod", runDemodCommand, "demodulate a composite signal from stdin"},
    {"encode", runEncodeCommand, "encode a composite signal from stdin into packets"},
    {"test-signal", runTestSignalCommand, "write a composite test signal to stdout"},
    {"nmea", runNmeaCommand, "print the time stamps read from an NMEA device or the system clock"},
    {"help-text", runHelpTextCommand, "print the mark and help text of an identifier"},
    {"export-texts", runExportTextsCommand, "write the translatable texts to DIR/Export.lml"},
    {"listen", runListenCommand, "receive the encoder's packets and print rate, positions and gaps"},
    {"settings", runSettingsCommand, "print the settings tree or the interface choices"},
    {"display", runDisplayCommand, "print one redraw of the wave, spectrum or meter displays over stdin"},
};

void usage(std::FILE* out) {
    std::fprintf(out, "usage: kestrava-tool COMMAND [ARGS...]\n\ncommands:\n");
    for (const Command& c : commands) std::fprintf(out, "  %-12s %s\n", c.name, c.summary);
}

}  // namespace

bool wantsHelp(int argc, char** argv) {
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) return true;
    }
    return false;
}

int commandNotAvailable(const char* name) {
    std::fprintf(stderr, "kestrava-tool: '%s' is not available in this build yet\n", name);
    return 2;
}

int main(int argc, char** argv) {
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        usage(argc < 2 ? stderr : stdout);
        return argc < 2 ? 2 : 0;
    }
    for (const Command& c : commands) {
        if (std::strcmp(argv[1], c.name) == 0) return c.run(argc - 2, argv + 2);
    }
    std::fprintf(stderr, "kestrava-tool: unknown command '%s'\n", argv[1]);
    usage(stderr);
    return 2;
}
