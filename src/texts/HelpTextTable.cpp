#include "texts/HelpTextTable.h"

#include <cstddef>

namespace kestrava::texts {
namespace {

struct HelpTextRow {
    ParamId id;
    const char* text;
    std::uint8_t flag;
};

#include "texts/HelpTextRows.inc"

}  // namespace

constexpr HelpTextTable::HelpTextTable() noexcept : text{}, flag{} {
    for (const char*& slot : text) slot = kEmptyText;
    for (const HelpTextRow& row : kHelpTextRows) {
        text[static_cast<std::size_t>(row.id)] = row.text;
        flag[static_cast<std::size_t>(row.id)] = row.flag;
    }
}

// Constant-initialised: the table is complete before any code of the program runs.
constinit const HelpTextTable helpTextTable;

}  // namespace kestrava::texts
