#pragma once

// A reader of "/update" reply words, written from the protocol's description alone: 16-bit words
// low byte first; 32-bit numbers low word first; a text is its length and then two characters per
// word, the first in the high byte. It shares nothing with the writer.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace replyreader {

class Cursor {
public:
    explicit Cursor(const std::vector<std::uint16_t>& w, std::size_t begin = 0, std::size_t end = SIZE_MAX)
        : words(w), pos(begin), stop(end == SIZE_MAX ? w.size() : end) {}

    std::uint16_t word() {
        if (pos >= stop) throw std::out_of_range("reply ends early");
        return words[pos++];
    }
    std::int32_t number32() {
        const std::uint32_t low = word();
        const std::uint32_t high = word();
        return static_cast<std::int32_t>(low | (high << 16));
    }
    bool flag() {
        const std::uint16_t w = word();
        if (w > 1) throw std::runtime_error("flag word " + std::to_string(w));
        return w == 1;
    }
    std::string text() {
        const std::size_t n = word();
        std::string out;
        for (std::size_t k = 0; k < (n + 1) / 2; ++k) {
            const std::uint16_t w = word();
            out.push_back(static_cast<char>(w >> 8));
            if (2 * k + 1 < n) {
                out.push_back(static_cast<char>(w & 0xff));
            } else if ((w & 0xff) != 0) {
                throw std::runtime_error("odd text's padding byte is not zero");
            }
        }
        return out;
    }
    bool atEnd() const { return pos >= stop; }
    std::size_t position() const { return pos; }

private:
    const std::vector<std::uint16_t>& words;
    std::size_t pos;
    std::size_t stop;
};

// Bytes on the connection to words.
inline std::vector<std::uint16_t> wordsFromBytes(const std::vector<std::uint8_t>& bytes) {
    std::vector<std::uint16_t> out;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        out.push_back(static_cast<std::uint16_t>(bytes[i] | (bytes[i + 1] << 8)));
    }
    return out;
}

struct Header {
    int type = 0;
    std::uint32_t count = 0;  // words after the six header words
    int id = 0;
    int viewOffset = 0;
    bool shownAndVisible = false;
    bool enabled = false;
    bool editable = false;
    bool expanded = false;
};

struct SliderDescription {
    int stepsNormal, stepsDrag, stepsFast;
};
struct TextFieldDescription {
    int maxLen;
    bool isPassword, dontStorePassword, supportsNewline;
    std::int32_t hashWithId;
};
struct NumberState {
    std::int32_t stepBase, currentPosition, savedPosition;
    std::string valueText, editableText;
};
struct TextState {
    std::string valueText, editableText;
};
struct EnumEntry {
    std::int32_t value;
    int level;
    bool selectable;
    std::string label;
};
struct EnumState {
    std::optional<std::int32_t> value;
    std::optional<std::vector<EnumEntry>> entries;
};
struct ErrorRecord {
    std::int32_t index, count;
    std::string text;
};

inline SliderDescription readSliderDescription(Cursor& c) {
    SliderDescription d{};
    d.stepsNormal = c.word();
    d.stepsDrag = c.word();
    d.stepsFast = c.word();
    return d;
}
inline TextFieldDescription readTextFieldDescription(Cursor& c) {
    TextFieldDescription d{};
    d.maxLen = c.word();
    d.isPassword = c.flag();
    d.dontStorePassword = c.flag();
    d.supportsNewline = c.flag();
    d.hashWithId = c.number32();
    return d;
}
inline NumberState readNumberState(Cursor& c) {
    NumberState s{};
    s.stepBase = c.number32();
    s.currentPosition = c.number32();
    s.savedPosition = c.number32();
    s.valueText = c.text();
    s.editableText = c.text();
    return s;
}
inline TextState readTextState(Cursor& c) {
    TextState s;
    s.valueText = c.text();
    s.editableText = c.text();
    return s;
}
// The entry list is present when words remain after the value.
inline EnumState readEnumState(Cursor& c) {
    EnumState s;
    if (c.flag()) s.value = c.number32();
    if (!c.atEnd()) {
        const int n = c.word();
        std::vector<EnumEntry> entries;
        for (int i = 0; i < n; ++i) {
            EnumEntry e{};
            e.value = c.number32();
            e.level = static_cast<std::int16_t>(c.word());
            e.selectable = c.flag();
            e.label = c.text();
            entries.push_back(e);
        }
        s.entries = entries;
    }
    return s;
}
inline std::vector<ErrorRecord> readErrorList(Cursor& c) {
    std::vector<ErrorRecord> out;
    while (!c.atEnd()) {
        ErrorRecord r{};
        r.index = c.number32();
        r.count = c.number32();
        if (r.count > 0) r.text = c.text();
        out.push_back(r);
    }
    return out;
}

// One written widget: its header, its title (when expanded) and the range of words that follow.
struct Widget {
    Header header;
    std::string title;
    std::size_t bodyBegin = 0;  // first word after the title
    std::size_t end = 0;        // one past the widget's last word
};

// Reads the widgets of a reply; each may be followed by the handler's 9999.
inline std::vector<Widget> readWidgets(const std::vector<std::uint16_t>& words) {
    std::vector<Widget> out;
    std::size_t at = 0;
    while (at < words.size()) {
        Cursor c(words, at);
        Widget w;
        w.header.type = c.word();
        w.header.count = static_cast<std::uint32_t>(c.number32());
        w.header.id = c.word();
        w.header.viewOffset = static_cast<std::int16_t>(c.word());
        const int flags = c.word();
        w.header.shownAndVisible = (flags & 1) != 0;
        w.header.enabled = (flags & 2) != 0;
        w.header.editable = (flags & 4) != 0;
        w.header.expanded = (flags & 8) != 0;
        const std::size_t start = c.position();
        w.end = start + w.header.count;
        if (w.end > words.size()) throw std::out_of_range("widget count past the reply");
        if (w.header.expanded) {
            Cursor t(words, start, w.end);
            w.title = t.text();
            w.bodyBegin = t.position();
        } else {
            w.bodyBegin = start;
        }
        out.push_back(w);
        at = w.end;
        if (at < words.size() && words[at] == 9999) ++at;
    }
    return out;
}

}  // namespace replyreader
