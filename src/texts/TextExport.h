#pragma once

#include "params/Param.h"
#include "params/TextCatalog.h"
#include "texts/TranslationTable.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kestrava::texts {

// What the text export needs of one parameter: its shown texts and a way to refresh them. The
// parameter model implements it; the export knows nothing else of parameters.
class TranslatableParam {
public:
    virtual ~TranslatableParam() = default;
    // The name as declared, before translation.
    virtual std::string_view untranslatedName() const = 0;
    // Whether the name and the enumeration labels are translated at all.
    virtual bool isTranslatable() const = 0;
    // The labels of the enumeration's static entries, in list order; none for other kinds.
    virtual std::vector<std::string_view> staticEnumerationLabels() const { return {}; }
    // The value format of a text field (such as "%.1f sec"); none for parameters without one.
    virtual std::optional<std::string_view> valueFormat() const { return std::nullopt; }
    // Refreshes the shown texts from the table (translateText on each of them).
    virtual void retranslate(const TranslationTable& table) = 0;
};

// A text of the model that is not a parameter's, with the buffer it is shown from.
struct FreeTranslatableText {
    std::string untranslated;
    std::array<char, 100> shown{};
};

// The keys already written during one export.
using ExportedTextSet = std::set<std::string, std::less<>>;

inline constexpr const char* exportFileName = "Export.lml";
// Keys are left-aligned in this many bytes before "= " and the translated text.
inline constexpr int exportKeyWidth = 102;
// The longest path the export opens (Linux's PATH_MAX less its NUL); a longer one is refused,
// never cut.
inline constexpr std::size_t maxExportPathBytes = 4095;

// Writes the line of one text to the open export file, once per key and export: nothing for a
// null file, a key without words (only placeholders, punctuation and blanks) or a key already in
// exported. The key is entered into the table with an empty translation when it is missing.
void exportText(std::FILE* file, ExportedTextSet& exported, TranslationTable& table, std::string_view text,
                TranslationKeyMode mode);

struct TextExportResult {
    // The file written, or empty when no folder accepted it.
    std::filesystem::path written;
    // Why each refused folder was refused, in the order tried.
    std::vector<std::string> refusals;
};

// Writes Export.lml into the first folder that accepts it, else into secondFolder (when given):
// the name, enumeration labels and value format of every parameter in the given order, then the
// free texts. Then, whether or not a file was written, every parameter and free text refreshes
// its shown text from the table.
TextExportResult exportTexts(std::span<TranslatableParam* const> params, std::span<FreeTranslatableText> freeTexts,
                             TranslationTable& table, const std::filesystem::path& firstFolder,
                             const std::optional<std::filesystem::path>& secondFolder);

// The same export for the parameter model's parameters: each offers its own texts (name,
// enumeration labels, value format), and refreshes them from its owner's catalog, which is
// expected to be a TableCatalog over the same table.
TextExportResult exportParamTexts(std::span<params::Param* const> params, std::span<FreeTranslatableText> freeTexts,
                                  TranslationTable& table, const std::filesystem::path& firstFolder,
                                  const std::optional<std::filesystem::path>& secondFolder);

// The translation table as the parameters read it: the key of the source text, and its
// non-empty translation with the source's numbers or value conversions put back in place.
class TableCatalog final : public params::TextCatalog {
public:
    explicit TableCatalog(const TranslationTable& table) : table(table) {}
    std::optional<std::string> translate(std::string_view source, params::TextMode mode) const override;

private:
    const TranslationTable& table;
};

}  // namespace kestrava::texts
