// param-name N...: prints the name of each parameter identifier, one per line.
#include "tool/Commands.h"

#include "params/ids/ParamIdName.h"

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>

int runParamNameCommand(int argc, char** argv) {
    if (wantsHelp(argc, argv)) {
        std::printf("usage: kestrava-tool param-name N...\n"
                    "  prints the name of each parameter identifier N (a 32-bit decimal number), one per line\n");
        return 0;
    }
    if (argc < 1) {
        std::fprintf(stderr, "usage: kestrava-tool param-name N...\n");
        return 2;
    }
    for (int i = 0; i < argc; ++i) {
        const char* text = argv[i];
        const char* end = text + std::strlen(text);
        std::int32_t number = 0;
        const auto [stop, error] = std::from_chars(text, end, number);
        if (error != std::errc{} || stop != end || stop == text) {
            std::fprintf(stderr, "kestrava-tool param-name: '%s' is not a 32-bit decimal number\n", text);
            return 2;
        }
        std::printf("%s\n", kestrava::getParamIdName(static_cast<kestrava::ParamId>(number)));
    }
    return 0;
}
