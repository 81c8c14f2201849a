#include "settings/SectionNames.h"

namespace kestrava::settings {

const std::array<params::NamePair, sectionNameCount>& sectionNames() {
    static const std::array<params::NamePair, sectionNameCount> table = [] {
        std::array<params::NamePair, sectionNameCount> t{};
        t[SectionEntry::userRights].set("User rights");
        t[SectionEntry::webInterface].set("Web interface");
        t[SectionEntry::inputSoundcard].set("Input sound card");
        t[SectionEntry::encoder].set("Corvix Kestrava Encoder");
        t[SectionEntry::presetInfo].set("Preset info");
        return t;
    }();
    return table;
}

const params::NamePair& sectionName(int entry) {
    static const params::NamePair none;
    if (entry < 0 || entry >= sectionNameCount) return none;
    return sectionNames()[static_cast<std::size_t>(entry)];
}

}  // namespace kestrava::settings
