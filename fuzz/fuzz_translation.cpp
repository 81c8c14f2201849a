// Translated texts and the texts they replace come from outside the program (language files,
// settings): any text and translation must give a key and a cut, NUL-terminated display text,
// never a crash or a write past the buffer.
#include "texts/TextExport.h"
#include "texts/TranslationTable.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

using namespace kestrava::texts;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The input is "text NUL translation"; the first byte picks the mode and the buffer size.
    if (size < 1) return 0;
    const std::uint8_t control = data[0];
    const std::string input(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::size_t split = input.find('\0');
    const std::string text = input.substr(0, split);
    const std::string translation = split == std::string::npos ? std::string() : input.substr(split + 1);
    const auto mode = static_cast<TranslationKeyMode>(control & 3);

    std::vector<std::string> arguments;
    const std::string key = makeTranslationKey(input, mode, arguments);
    std::string substituted = translation;
    substituteArguments(substituted, arguments);

    TranslationTable table;
    arguments.clear();
    table.emplace(makeTranslationKey(text, mode, arguments)) = translation;
    const int bufferSize = 1 + (control >> 2);
    std::vector<char> buffer(static_cast<std::size_t>(bufferSize) + 1, '\x55');
    // A buffer that already held the text is left alone; one that was written ends in NUL.
    const bool written = translateText(table, buffer.data(), bufferSize, text.c_str(), mode, (control & 4) != 0);
    if (written && buffer[static_cast<std::size_t>(bufferSize) - 1] != '\0') __builtin_trap();
    if (buffer.back() != '\x55') __builtin_trap();

    ExportedTextSet exported;
    std::FILE* sink = std::fopen("/dev/null", "w");
    exportText(sink, exported, table, key, TranslationKeyMode::Numbers);
    if (sink != nullptr) std::fclose(sink);
    return 0;
}
