#include "settings/ChoiceLists.h"

#include "params/PEnum.h"

#include <arpa/inet.h>

#include <set>

using kestrava::audio::soundcard::SoundcardEntry;

namespace kestrava::settings {

namespace {

std::string lowerAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

// Unsigned byte order; a prefix is the smaller text.
bool greaterBytes(const std::string& a, const std::string& b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const auto x = static_cast<unsigned char>(a[i]);
        const auto y = static_cast<unsigned char>(b[i]);
        if (x != y) return x > y;
    }
    return a.size() > b.size();
}

}  // namespace

std::string choiceText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u != 0x7f) out.push_back(c);
    }
    return out;
}

std::uint32_t ipv4Value(std::string_view text) {
    const std::string s(text.substr(0, std::min<std::size_t>(text.size(), 65)));
    in_addr address{};
    if (inet_pton(AF_INET, s.c_str(), &address) != 1) return 0;
    return ntohl(address.s_addr);
}

void fillSoundcardList(SoundcardChoices& list, const std::vector<SoundcardEntry>& devices) {
    if (devices.empty()) {
        list.insertAt(0, -1, noSoundcardsText, noSoundcardsText, 0, false);
        return;
    }
    for (const SoundcardEntry& d : devices) {
        const std::string label = choiceText(d.displayName);
        const std::string key = choiceText(d.name);
        const std::string lowered = lowerAscii(label);
        int position = list.getCount();
        for (int i = 0; i < list.getCount(); ++i) {
            if (greaterBytes(lowerAscii(list.getEntry(i)->getLabel()), lowered)) {
                position = i;
                break;
            }
        }
        list.insertAt(position, d.deviceIndex, key, label, 0, true);
    }
}

void fillInterfaceList(InterfaceChoices& list, NetworkInterfaceList& interfaces) {
    list.insertAt(0, 0, automaticInterfaceText, automaticInterfaceText, 0, true);
    std::set<std::int32_t> taken{0, params::PEnum::unknownValue};
    std::int32_t nextFree = 1;
    const std::int32_t n = interfaces.networkInterfaceCount();
    for (std::int32_t i = 0; i < n; ++i) {
        const net::NetworkInterface adapter = interfaces.getNetworkInterface(i);
        if (adapter.ipv4Address.empty()) continue;
        auto value = static_cast<std::int32_t>(ipv4Value(adapter.ipv4Address));
        if (taken.count(value) != 0) {
            while (taken.count(nextFree) != 0) ++nextFree;
            value = nextFree;
        }
        const std::string name = choiceText(adapter.name);
        if (!list.insertAt(list.getCount(), value, name, name, 0, true)) break;
        taken.insert(value);
    }
}

}  // namespace kestrava::settings
