#include "model/SettingsText.h"

#include <cctype>
#include <charconv>

namespace kestrava::model {

void escapeSettingValue(std::string& text) {
    if (text.find_first_of("\\\n") == std::string::npos) return;
    std::string out;
    out.reserve(text.size() + 8);
    for (char c : text) {
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\n') {
            out += "\\n";
        } else {
            out += c;
        }
    }
    text.swap(out);
}

void unescapeSettingValue(std::string& text) {
    std::size_t to = 0;
    for (std::size_t from = 0; from < text.size(); ++from) {
        char c = text[from];
        if (c == '\\' && from + 1 < text.size()) {
            const char next = text[from + 1];
            if (next == 'n') {
                c = '\n';
                ++from;
            } else if (next == '\\') {
                ++from;
            }
        }
        text[to++] = c;
    }
    text.resize(to);
}

void writeIniSections(std::string& out, const SectionMap& sections) {
    out.clear();
    for (const auto& [section, keys] : sections) {
        if (keys.empty()) continue;
        out += '[';
        out += section;
        out += "]\r\n";
        for (const auto& [key, value] : keys) {
            out += key;
            out += '=';
            out += value;
            out += "\r\n";
        }
    }
}

std::size_t parseIniText(std::string_view text, SectionMap& sections) {
    std::size_t keyLines = 0;
    std::string section;
    std::size_t pos = 0;
    while (pos < text.size()) {
        // One piece: up to and including a line feed, at most maxLinePiece bytes.
        const std::size_t limit = std::min(text.size() - pos, maxLinePiece);
        const std::size_t feed = text.substr(pos, limit).find('\n');
        const std::size_t length = feed == std::string_view::npos ? limit : feed + 1;
        std::string_view line = text.substr(pos, length);
        pos += length;
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);

        if (!line.empty() && line.front() == '[') {
            const std::size_t close = line.find(']', 1);
            section = close == std::string_view::npos ? std::string() : std::string(line.substr(1, close - 1));
            continue;
        }
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) continue;
        sections[section][std::string(line.substr(0, equals))] = std::string(line.substr(equals + 1));
        ++keyLines;
    }
    return keyLines;
}

float settingsFileVersion(const SectionMap& sections) {
    const auto s = sections.find("Preset info");
    if (s == sections.end()) return 0.0f;
    const auto k = s->second.find("Software version");
    if (k == s->second.end()) return 0.0f;
    std::string_view v = k->second;
    while (!v.empty() && std::isspace(static_cast<unsigned char>(v.front())) != 0) v.remove_prefix(1);
    if (!v.empty() && v.front() == '+') v.remove_prefix(1);
    double value = 0.0;
    const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), value);
    if (ec != std::errc() || end == v.data()) return 0.0f;
    return static_cast<float>(value);
}

bool unescapesTextValues(float version) { return version == 0.0f || version >= 9.7f; }

}  // namespace kestrava::model
