#include "texts/TextExport.h"

#include <cerrno>
#include <cstring>
#include <memory>

namespace kestrava::texts {
namespace {

// "C" locale: the printable ASCII characters that are neither letters, digits nor space.
bool isPunctuation(unsigned char c) {
    return c > 0x20 && c < 0x7f && !(c >= '0' && c <= '9') && !(c >= 'a' && c <= 'z') && !(c >= 'A' && c <= 'Z');
}

// A key carries words when some byte outside the braces of a placeholder is neither
// punctuation nor blank: "{0} %" and "---" have none, "(x)" has one.
bool hasWords(std::string_view key) {
    bool inBraces = false;
    for (const char byte : key) {
        const auto c = static_cast<unsigned char>(byte);
        if (c == '{') {
            inBraces = true;
        } else if (c == '}') {
            inBraces = false;
        } else if (!inBraces && !isPunctuation(c) && c != ' ' && c != '\t') {
            return true;
        }
    }
    return false;
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

FilePtr openIn(const std::filesystem::path& folder, std::vector<std::string>& refusals) {
    const std::filesystem::path path = folder / exportFileName;
    if (path.native().size() > maxExportPathBytes) {
        refusals.push_back(folder.native().substr(0, 64) + "...: the path of the export file is longer than " +
                           std::to_string(maxExportPathBytes) + " bytes");
        return nullptr;
    }
    FilePtr file(std::fopen(path.c_str(), "w"));
    if (!file) refusals.push_back(path.native() + ": " + std::strerror(errno));
    return file;
}

}  // namespace

void exportText(std::FILE* file, ExportedTextSet& exported, TranslationTable& table, std::string_view text,
                TranslationKeyMode mode) {
    if (file == nullptr) return;
    std::vector<std::string> unused;
    std::string key = makeTranslationKey(text, mode, unused);
    if (!hasWords(key)) return;
    if (exported.contains(key)) return;
    const std::string& translated = table.emplace(key);
    // The width counts bytes of the translation above 0x7f once more, as the line's readers
    // expect; keys longer than the width are written whole.
    std::size_t width = exportKeyWidth;
    for (const char byte : translated)
        if (static_cast<unsigned char>(byte) >= 0x80) ++width;
    std::fwrite(key.data(), 1, key.size(), file);
    for (std::size_t n = key.size(); n < width; ++n) std::fputc(' ', file);
    std::fputs("= ", file);
    std::fwrite(translated.data(), 1, translated.size(), file);
    std::fputc('\n', file);
    exported.insert(std::move(key));
}

namespace {

// Opens the file in the first folder that takes it, lets writeTexts fill it, then refreshes the
// shown texts (whether or not a file was written).
template <typename Write, typename Refresh>
TextExportResult exportInto(const std::filesystem::path& firstFolder,
                            const std::optional<std::filesystem::path>& secondFolder, Write writeTexts,
                            Refresh refreshTexts) {
    TextExportResult result;
    FilePtr file = openIn(firstFolder, result.refusals);
    std::filesystem::path folder = firstFolder;
    if (!file && secondFolder) {
        file = openIn(*secondFolder, result.refusals);
        folder = *secondFolder;
    }
    if (file) {
        writeTexts(file.get());
        const bool failed = std::ferror(file.get()) != 0;
        if (std::fclose(file.release()) != 0 || failed)
            result.refusals.push_back((folder / exportFileName).native() + ": writing failed");
        else
            result.written = folder / exportFileName;
    }
    refreshTexts();
    return result;
}

void exportFreeTexts(std::FILE* file, ExportedTextSet& exported, TranslationTable& table,
                     std::span<FreeTranslatableText> freeTexts) {
    for (const FreeTranslatableText& free : freeTexts)
        exportText(file, exported, table, free.untranslated, TranslationKeyMode::Numbers);
}

void refreshFreeTexts(const TranslationTable& table, std::span<FreeTranslatableText> freeTexts) {
    for (FreeTranslatableText& free : freeTexts)
        translateText(table, free.shown.data(), static_cast<int>(free.shown.size()), free.untranslated.c_str(),
                      TranslationKeyMode::Numbers, true);
}

TranslationKeyMode keyModeOf(params::TextMode mode) {
    return mode == params::TextMode::format ? TranslationKeyMode::Format : TranslationKeyMode::Numbers;
}

// Each text a parameter offers goes to the file as one line per key.
class FileTextExport final : public params::TextExport {
public:
    FileTextExport(std::FILE* file, ExportedTextSet& exported, TranslationTable& table)
        : file(file), exported(exported), table(table) {}
    void add(std::string_view source, params::TextMode mode) override {
        exportText(file, exported, table, source, keyModeOf(mode));
    }

private:
    std::FILE* file;
    ExportedTextSet& exported;
    TranslationTable& table;
};

}  // namespace

TextExportResult exportTexts(std::span<TranslatableParam* const> params, std::span<FreeTranslatableText> freeTexts,
                             TranslationTable& table, const std::filesystem::path& firstFolder,
                             const std::optional<std::filesystem::path>& secondFolder) {
    ExportedTextSet exported;
    return exportInto(
        firstFolder, secondFolder,
        [&](std::FILE* file) {
            for (const TranslatableParam* param : params) {
                if (param->isTranslatable()) {
                    exportText(file, exported, table, param->untranslatedName(), TranslationKeyMode::Numbers);
                    for (const std::string_view label : param->staticEnumerationLabels())
                        exportText(file, exported, table, label, TranslationKeyMode::Numbers);
                }
                if (const auto format = param->valueFormat())
                    exportText(file, exported, table, *format, TranslationKeyMode::Format);
            }
            exportFreeTexts(file, exported, table, freeTexts);
        },
        [&] {
            for (TranslatableParam* param : params) param->retranslate(table);
            refreshFreeTexts(table, freeTexts);
        });
}

TextExportResult exportParamTexts(std::span<params::Param* const> params, std::span<FreeTranslatableText> freeTexts,
                                  TranslationTable& table, const std::filesystem::path& firstFolder,
                                  const std::optional<std::filesystem::path>& secondFolder) {
    ExportedTextSet exported;
    return exportInto(
        firstFolder, secondFolder,
        [&](std::FILE* file) {
            FileTextExport out(file, exported, table);
            for (const params::Param* param : params) param->exportTexts(out);
            exportFreeTexts(file, exported, table, freeTexts);
        },
        [&] {
            for (params::Param* param : params) param->retranslate();
            refreshFreeTexts(table, freeTexts);
        });
}

std::optional<std::string> TableCatalog::translate(std::string_view source, params::TextMode mode) const {
    std::vector<std::string> arguments;
    const std::string key = makeTranslationKey(source, keyModeOf(mode), arguments);
    if (key.empty()) return std::nullopt;
    const std::string* translated = table.find(key);
    if (translated == nullptr || translated->empty()) return std::nullopt;
    std::string text = *translated;
    substituteArguments(text, arguments);
    return text;
}

}  // namespace kestrava::texts
