#pragma once

#include "audio/soundcard/SoundcardEntry.h"
#include "params/LMEnumList.h"
#include "settings/NetworkInterfaceList.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kestrava::settings {

// The machine-dependent choices of the settings tree, filled once when an instance's settings
// are built and read-only afterwards.
using SoundcardChoices = params::LMEnum_StaticLengthList<256, 256>;
using InterfaceChoices = params::LMEnum_StaticLengthList<512, 256>;

inline constexpr const char* noSoundcardsText = "No sound cards found";
inline constexpr const char* automaticInterfaceText = "Automatic";

// Both fill functions expect an empty list.

// The input sound cards sorted by label, case-insensitively (ASCII letters only; equal labels
// keep the given order), or the placeholder with value -1 when there are none. Beyond the
// list's capacity the later devices are dropped.
void fillSoundcardList(SoundcardChoices& list, const std::vector<kestrava::audio::soundcard::SoundcardEntry>& devices);

// "Automatic" (value 0), then every adapter with an IPv4 address, keyed and labelled by its
// name. An adapter's value is its IPv4 address (first octet most significant); where that is 0
// (the text does not parse), already taken by an earlier entry or the reserved unknown value, it
// gets the smallest free positive number instead, so every entry's value names one adapter.
void fillInterfaceList(InterfaceChoices& list, NetworkInterfaceList& interfaces);

// The text as a list entry keeps it: control characters (below 0x20 and 0x7f) removed, since
// the settings file is line-based and the page shows labels verbatim.
std::string choiceText(std::string_view text);

// The IPv4 address text as a number, first octet most significant; 0 when it does not parse.
std::uint32_t ipv4Value(std::string_view text);

}  // namespace kestrava::settings
