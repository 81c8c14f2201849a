#include "params/PString.h"

#include "params/CheckedFormat.h"
#include "params/TextCatalog.h"
#include "params/TextWords.h"

#include <cryptopp/sha.h>

#include <algorithm>

namespace kestrava::params {

namespace {
std::string formatText(const std::string& format, const std::string& declared, const std::string& v) {
    if (format.empty()) return {};
    CheckedFormat f(format, {CheckedFormat::Arg::text});
    if (!f.valid()) f = CheckedFormat(declared, {CheckedFormat::Arg::text});
    if (!f.valid()) return v.substr(0, maxValueTextChars - 1);
    return f.format({std::string_view(v)}, maxValueTextChars - 1);
}
}  // namespace

std::string sha256Hex(std::string_view bytes) {
    CryptoPP::SHA256 hash;
    CryptoPP::byte digest[CryptoPP::SHA256::DIGESTSIZE];
    hash.CalculateDigest(digest, reinterpret_cast<const CryptoPP::byte*>(bytes.data()), bytes.size());
    static constexpr char hex[] = "0123456789abcdef";
    std::string out;
    for (const CryptoPP::byte b : digest) {
        out.push_back(hex[b >> 4]);
        out.push_back(hex[b & 0xf]);
    }
    return out;
}

PString::PString(ParamOwner& owner, std::uint32_t viewMask, ParamId id, int length, std::string_view defaultText,
                 const ShortKey& shortKey, const NamePair& section, const NamePair& key, std::string_view name,
                 std::string_view format)
    : ValueParam<std::string>(owner, viewMask, id, 12, name, shortKey, section, key),
      ParamTextfield(static_cast<Param&>(*this), format), maxLen(length < 0 ? 0 : length) {
    storeDefaultEverywhere(std::string(defaultText));
    setGeneral(false);
}

PString::~PString() = default;

std::string PString::normalized(std::string v) const {
    if (v.size() > static_cast<std::size_t>(maxLen)) v.resize(static_cast<std::size_t>(maxLen));
    return v;
}

void PString::setPasswordMode(PString* with) {
    password.store(true);
    storePassword.store(false);
    PString* old = hashWith.load();
    if (with == old) return;
    if (old != nullptr) {
        std::lock_guard lock(old->dependentsMutex);
        std::erase(old->dependents, this);
    }
    hashWith.store(with);
    if (with != nullptr) {
        std::lock_guard lock(with->dependentsMutex);
        with->dependents.push_back(this);
    }
}

ParamId PString::getHashWithId() const {
    const PString* with = hashWith.load();
    return with != nullptr ? with->id() : ID_NONE;
}

std::string PString::hashPassword(std::string_view pw) const {
    if (pw.empty()) return {};
    const PString* with = hashWith.load();
    std::string joined = with != nullptr ? with->current() : std::string{};
    joined += "@~%";
    joined += pw;
    joined += "/3^^";
    if (joined.size() > 1023) joined.resize(1023);
    return sha256Hex(joined);
}

bool PString::setValue(std::string v) {
    v = normalized(std::move(v));
    maskLength_.store(v.empty() ? 0 : 10);
    // Passwords hashed with this text no longer match once it changes; an unchanged text keeps them.
    if (!valuesEqual(current(), v)) {
        std::vector<PString*> deps;
        {
            std::lock_guard lock(dependentsMutex);
            deps = dependents;
        }
        for (PString* d : deps) d->setValue(std::string{});
    }
    const bool changed = commitValue(std::move(v));
    if (changed) changedSinceStore.store(true);
    return changed;
}

std::string PString::formatValue(int, const std::string& v) const {
    return formatText(format(), untranslatedFormat(), v);
}

std::string PString::getText(int view) const {
    if (isPassword()) return std::string(static_cast<std::size_t>(std::min(maskLength(), 8192)), '*');
    return valueText(view, ValueKind::current);
}

bool PString::setFromTypedText(std::string_view text, bool raw) {
    const bool hash = !raw && getHashWithId() != ID_NONE;
    const std::string v = hash ? hashPassword(text) : std::string(text);
    const bool applied = applyChecked(v);
    if (hash) maskLength_.store(static_cast<int>(std::min<std::size_t>(text.size(), static_cast<std::size_t>(maxLen))));
    return applied;
}

bool PString::readWireInput(const RequestContext& request, const RequestValues& values, WidgetContext&) {
    if (values.count() <= 0) return false;
    int position = 1;
    return readTextWireInput(values, position, isEditable(request.clientView));
}

void PString::writeWireState(const RequestContext&, WidgetContext& widget, WordWriter& out) {
    writeTextState(*this, *this, widget, out, isPassword() ? std::string{} : getFieldText(widget.effectiveView));
}

void PString::retranslate() {
    Param::retranslate();
    retranslateFormat(owner().translations());
}

void PString::exportTexts(TextExport& out) const {
    Param::exportTexts(out);
    out.add(untranslatedFormat(), TextMode::format);
}

PDisplayText::PDisplayText(ParamOwner& owner, std::uint32_t viewMask, ParamId id, int w,
                           std::string_view defaultText, std::string_view name, std::string_view format)
    : ValueParam<std::string>(owner, viewMask, id, 37, name, ShortKey{}, NamePair{}, NamePair{}),
      ParamTextfield(static_cast<Param&>(*this), format), width(w < 0 ? 0 : w), fieldLength(w < 0 ? 0 : w) {
    storeDefaultEverywhere(std::string(defaultText));
    edit.editable.store(false);
    setPersistent(false);
    setLoadable(false);
    setGeneral(false);
    if (nameFormatMode()) {
        fillDisplayName(current());
    } else {
        setTranslatable(false);
    }
}

std::unique_ptr<PDisplayText> createDisplayText(ParamOwner& owner, std::uint32_t viewMask, ParamId id, int width,
                                                std::string_view defaultText, std::string_view name,
                                                std::string_view format) {
    return std::make_unique<PDisplayText>(owner, viewMask, id, width, defaultText, name, format);
}

std::string PDisplayText::normalized(std::string v) const {
    if (v.size() > static_cast<std::size_t>(width)) v.resize(static_cast<std::size_t>(width));
    return v;
}

void PDisplayText::fillDisplayName(const std::string& value) {
    const std::string translated = Param::name();
    const std::size_t size = std::min<std::size_t>(translated.size(), 100) + static_cast<std::size_t>(width);
    std::string filled = formatText(translated, declaredName(), value);
    if (filled.size() > size - 1) filled.resize(size - 1);
    std::lock_guard lock(textMutex);
    displayName_ = std::move(filled);
}

std::string PDisplayText::name() const {
    if (!nameFormatMode()) return Param::name();
    std::lock_guard lock(textMutex);
    return displayName_;
}

int PDisplayText::nameLength() const {
    const int base = Param::nameLength();
    return nameFormatMode() ? base + width - 2 : base;
}

bool PDisplayText::setValue(std::string v) {
    if (!commitValue(std::move(v))) return false;
    if (nameFormatMode()) fillDisplayName(current());
    return true;
}

std::string PDisplayText::formatValue(int, const std::string& v) const {
    return formatText(format(), untranslatedFormat(), v);
}

bool PDisplayText::setFromTypedText(std::string_view text, bool) { return applyChecked(std::string(text)); }

void PDisplayText::writeWireState(const RequestContext&, WidgetContext& widget, WordWriter& out) {
    writeTextState(*this, *this, widget, out, current());
}

void PDisplayText::updateTextWidth() {
    const std::string f = format();
    if (f.empty()) return;
    const int n = static_cast<int>(std::min<std::size_t>(f.size(), 32)) + width - 2;
    if (fieldLength.exchange(n) != n) markValueChangedAll();
}

void PDisplayText::retranslate() {
    Param::retranslate();
    retranslateFormat(owner().translations());
}

void PDisplayText::exportTexts(TextExport& out) const {
    Param::exportTexts(out);
    out.add(untranslatedFormat(), TextMode::format);
}

}  // namespace kestrava::params
