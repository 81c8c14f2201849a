#pragma once

#include "params/Param.h"

#include <memory>
#include <string>
#include <vector>

namespace kestrava::settings {

// The class name of a settings-tree row ("PEnum", "PDec", "PWave", ...).
std::string rowClassName(const params::Param& p);

// One line per row, tab-separated: creation index, identifier name, class, section, key, short
// key, view mask, persistent flag (1/0), default text. The default text is the row's save text
// (which is its default right after the declaration); an enumeration row shows its value and,
// when an entry holds it, that entry's key in quotes.
std::string dumpTreeLine(int index, const params::Param& p);
std::string dumpTree(const std::vector<std::unique_ptr<params::Param>>& rows);

}  // namespace kestrava::settings
