#include "web/JsonEntries.h"

#include "params/PButton.h"
#include "params/PCorvixKoekError.h"
#include "params/PEnum.h"
#include "params/PWave.h"
#include "params/Param.h"
#include "params/ParamTextfield.h"
#include "params/ValueParam.h"
#include "web/JsonText.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>

namespace kestrava::web {

namespace {

using params::Param;
using params::ParamTextfield;
using params::ValueParam;

int flag(bool on) { return on ? 1 : 0; }

// The part every entry with a state shares, up to the first field of its own.
std::string stateHead(const Param& p, bool enabled, int view) {
    return fmt::format("\"{}\": {{ \"enabled\": \"{}\", \"active\": \"{}\", ", static_cast<std::int32_t>(p.id()),
                       flag(enabled), flag(p.isShownIn(view)));
}

void settingEntry(JsonReply& reply, const Param& p, int view, std::string_view value) {
    std::string e = stateHead(p, p.isEnabled(), view);
    e += "\"value\": \"";
    JsonText::appendEscaped(e, value);
    e += "\", \"text\": \"";
    JsonText::appendEscaped(e, p.name());
    e += "\" }";
    reply.entry(e);
}

void unsupported(JsonReply& reply, const Param& p) {
    reply.entry(fmt::format("\"{}\": \"ERROR_UNSUPPORTED_PARAMETER_TYPE\"", static_cast<std::int32_t>(p.id())));
}

// What the parameter's text field shows; nothing for a password.
std::string fieldText(const ParamTextfield& field, int view) {
    return field.isPassword() ? std::string{} : field.getFieldText(view);
}

// A number field's value as C's atof reads it (decimal or hexadecimal, infinity, NaN; nothing
// readable gives 0), then rounded to single precision. NaN and infinities fail every range test.
float readFloat(std::string_view text) {
    const std::string copy(text);
    return static_cast<float>(std::strtod(copy.c_str(), nullptr));
}

bool isInt32(std::int64_t v) {
    return v >= std::numeric_limits<std::int32_t>::min() && v <= std::numeric_limits<std::int32_t>::max();
}

template <typename T>
ParamTextfield* textPart(Param& p, ValueParam<T>*& value) {
    value = dynamic_cast<ValueParam<T>*>(&p);
    return value != nullptr ? dynamic_cast<ParamTextfield*>(&p) : nullptr;
}

void boolEntry(JsonReply& reply, Param& p, int view, std::optional<std::string_view> newValue) {
    auto* b = dynamic_cast<ValueParam<bool>*>(&p);
    if (b == nullptr) return unsupported(reply, p);
    if (newValue) b->applyFromUser(view, JsonText::readInteger(*newValue) != 0);
    settingEntry(reply, p, view, b->current() ? "1" : "0");
}

void floatEntry(JsonReply& reply, Param& p, int view, std::optional<std::string_view> newValue) {
    ValueParam<float>* f = nullptr;
    ParamTextfield* field = textPart(p, f);
    if (field == nullptr) return unsupported(reply, p);
    if (newValue) f->applyFromUser(view, readFloat(*newValue));
    settingEntry(reply, p, view, fieldText(*field, view));
}

void integerEntry(JsonReply& reply, Param& p, int view, std::optional<std::string_view> newValue) {
    ValueParam<std::int64_t>* n = nullptr;
    ParamTextfield* field = textPart(p, n);
    if (field == nullptr) return unsupported(reply, p);
    if (newValue) {
        // Numbers beyond the 32-bit range are refused rather than wrapped or cut.
        const std::int64_t v = JsonText::readInteger(*newValue);
        if (isInt32(v)) n->applyFromUser(view, v);
    }
    settingEntry(reply, p, view, fieldText(*field, view));
}

void choiceEntry(JsonReply& reply, Param& p, int view, std::optional<std::string_view> newValue) {
    auto* e = dynamic_cast<params::PEnum*>(&p);
    if (e == nullptr) return unsupported(reply, p);
    if (newValue && e->isEditable(view)) {
        // Only a listed key is taken. Taken like a loaded value (it becomes the saved one as
        // well), and then passed on to the running encoder like any other client change.
        const std::string key = JsonText::fromRequest(*newValue);
        if (e->valueOfKey(key) && e->setFromSaveText(0, key)) e->owner().userChanged();
    }
    settingEntry(reply, p, view, e->saveText(0));
}

void textEntry(JsonReply& reply, Param& p, int view, std::optional<std::string_view> newValue) {
    ValueParam<std::string>* s = nullptr;
    ParamTextfield* field = textPart(p, s);
    if (field == nullptr) return unsupported(reply, p);
    if (newValue) s->applyFromUser(view, JsonText::fromRequest(*newValue));
    settingEntry(reply, p, view, fieldText(*field, view));
}

void waveEntry(JsonReply& reply, Param& p, int view) {
    auto* w = dynamic_cast<params::PWave*>(&p);
    if (w == nullptr) return unsupported(reply, p);
    const float value = w->ringPeak(view) * 3.0517578125e-05f;
    const float db = 20.0f * std::log(std::max(value, 1e-6f)) / 2.3025851f;
    std::string e = stateHead(p, p.isEnabled(), view);
    e += fmt::format("\"value\": \"{:f}\", \"value_db\": \"{:f}\" }}", static_cast<double>(value),
                     static_cast<double>(db));
    reply.entry(e);
}

void buttonEntry(JsonReply& reply, Param& p, int view) {
    auto* b = dynamic_cast<params::PButton*>(&p);
    if (b == nullptr) return unsupported(reply, p);
    // Every request that names the button presses it.
    if (b->isEditable(view)) b->press(view);
    std::string e = stateHead(p, b->isEnabled() && b->isEditable(view), view);
    e += "\"text\": \"";
    JsonText::appendEscaped(e, p.name());
    e += "\" }";
    reply.entry(e);
}

void errorListEntry(JsonReply& reply, Param& p, std::optional<std::string_view> newValue) {
    auto* list = dynamic_cast<params::PCorvixKoekError*>(&p);
    if (list == nullptr) return unsupported(reply, p);
    if (newValue) {
        const std::int64_t index = JsonText::readInteger(*newValue);
        // -1 dismisses every entry, 0..63 one; any other number none.
        if (index >= -1 && index < params::PCorvixKoekError::entryCount) list->dismissError(static_cast<std::int32_t>(index));
    }
    reply.beginEntry();
    reply.write(fmt::format("\"{}\": {{ ", static_cast<std::int32_t>(p.id())));
    const std::vector<params::PCorvixKoekError::Entry> entries = list->entries();
    bool first = true;
    std::string piece;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const auto& entry = entries[i];
        if (entry.count == 0) continue;
        piece = fmt::format("{}\"{}\": {{ \"count\": {}, \"text\": \"", first ? "" : ", ", i, entry.count);
        first = false;
        // Line ends read as one "\n" each, as the page shows them.
        const std::string_view text = std::string_view(entry.text).substr(0, params::PCorvixKoekError::maxTextChars);
        std::size_t from = 0;
        for (std::size_t k = 0; k <= text.size(); ++k) {
            if (k < text.size() && text[k] != '\n' && text[k] != '\r') continue;
            JsonText::appendEscaped(piece, text.substr(from, k - from));
            if (k < text.size()) piece += "\\n";
            from = k + 1;
        }
        piece += "\" }";
        reply.write(piece);
    }
    reply.write(" }");
}

}  // namespace

void JsonEntries::write(JsonReply& reply, Param& p, int view, std::optional<std::string_view> newValue) {
    if (p.hasGraph()) p.pollGraph(view, 0);
    switch (p.kind()) {
        case 0: return boolEntry(reply, p, view, newValue);
        case 1: case 2: case 3: case 4: case 5: return floatEntry(reply, p, view, newValue);
        case 6: case 7: case 8: case 9: case 44: return integerEntry(reply, p, view, newValue);
        case 10: return choiceEntry(reply, p, view, newValue);
        case 12: return textEntry(reply, p, view, newValue);
        case 17: return waveEntry(reply, p, view);
        case 26: return buttonEntry(reply, p, view);
        case 40: return errorListEntry(reply, p, newValue);
        default: return unsupported(reply, p);
    }
}

}  // namespace kestrava::web
