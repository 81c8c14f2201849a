#pragma once

#include <string>
#include <string_view>

namespace kestrava::params {

// A settings-file section or key: a name and an optional alternative name (each at most 100
// characters). The text in use is the alternative when it is not empty.
struct NamePair {
    static constexpr std::size_t maxChars = 100;
    int count = 0;
    std::string name;
    std::string alternative;

    NamePair() = default;
    NamePair(std::string_view n, std::string_view alt = {}) { set(n, alt); }
    void set(std::string_view n, std::string_view alt = {}) {
        name.assign(n.substr(0, std::min(n.size(), maxChars)));
        alternative.assign(alt.substr(0, std::min(alt.size(), maxChars)));
        count = alternative.empty() ? (name.empty() ? 0 : 1) : 2;
    }
    const std::string& inUse() const { return alternative.empty() ? name : alternative; }
};

// The two short keys of a setting, at most 8 characters each.
struct ShortKey {
    static constexpr std::size_t maxChars = 8;
    std::string first;
    std::string second;

    ShortKey() = default;
    ShortKey(std::string_view a, std::string_view b = {}) { set(a, b); }
    ShortKey& set(std::string_view a, std::string_view b = {}) {
        first.assign(a.substr(0, std::min(a.size(), maxChars)));
        second.assign(b.substr(0, std::min(b.size(), maxChars)));
        return *this;
    }
};

}  // namespace kestrava::params
