// help-text ID|NAME...: prints the mark and the help text of each identifier, given by number or
// by enumerator name.
#include "tool/Commands.h"

#include "params/ids/ParamIdName.h"
#include "texts/HelpTextTable.h"

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>

namespace {

std::optional<kestrava::ParamId> parseIdentifier(const char* arg) {
    const char* end = arg + std::strlen(arg);
    std::int32_t number = 0;
    const auto [stop, error] = std::from_chars(arg, end, number);
    if (error == std::errc{} && stop == end && stop != arg) {
        if (!kestrava::isParamIdIndex(number)) return std::nullopt;
        return static_cast<kestrava::ParamId>(number);
    }
    for (std::int32_t id = 0; id < kestrava::ID_IDCOUNT; ++id) {
        if (std::strcmp(kestrava::getParamIdName(static_cast<kestrava::ParamId>(id)), arg) == 0)
            return static_cast<kestrava::ParamId>(id);
    }
    return std::nullopt;
}

}  // namespace

int runHelpTextCommand(int argc, char** argv) {
    if (argc < 1) {
        std::fprintf(stderr, "usage: kestrava-tool help-text ID|NAME...\n");
        return 2;
    }
    for (int i = 0; i < argc; ++i) {
        const std::optional<kestrava::ParamId> id = parseIdentifier(argv[i]);
        if (!id) {
            std::fprintf(stderr,
                         "kestrava-tool help-text: '%s' is neither an identifier number from 0 to %d nor an "
                         "identifier name\n",
                         argv[i], kestrava::ID_IDCOUNT - 1);
            return 2;
        }
        const auto slot = static_cast<std::size_t>(*id);
        std::printf("%s (%d) flag %d\n", kestrava::getParamIdName(*id), static_cast<int>(*id),
                    kestrava::texts::helpTextTable.flag[slot]);
        const char* text = kestrava::texts::helpTextTable.text[slot];
        if (text[0] != '\0') std::printf("%s\n", text);
    }
    return 0;
}
