#pragma once

#include "params/NamePair.h"

#include <array>

namespace kestrava::settings {

// The settings-file section names, by entry number. The table keeps the numbering of the
// settings framework it comes from; entries this program does not use stay empty.
namespace SectionEntry {
inline constexpr int userRights = 0;
inline constexpr int webInterface = 4;
inline constexpr int inputSoundcard = 10;
inline constexpr int encoder = 14;
inline constexpr int presetInfo = 86;
}  // namespace SectionEntry

inline constexpr int sectionNameCount = 88;

// The whole table, filled on first use and never changed afterwards (read without a lock).
const std::array<params::NamePair, sectionNameCount>& sectionNames();
// One entry; an empty record for a number outside the table.
const params::NamePair& sectionName(int entry);

}  // namespace kestrava::settings
