#include "params/ParamTextfield.h"

#include "params/Param.h"
#include "params/TextCatalog.h"

namespace kestrava::params {

namespace {
std::string cutFormat(std::string_view f) {
    return std::string(f.substr(0, std::min(f.size(), ParamTextfield::maxFormatChars)));
}
}  // namespace

ParamTextfield::ParamTextfield(Param& owner, std::string_view format)
    : self(owner), displayedFormat(cutFormat(format)), declaredFormat(cutFormat(format)) {}

std::string ParamTextfield::getText(int view) const { return self.valueText(view, 5); }

std::string ParamTextfield::format() const {
    std::lock_guard lock(formatMutex);
    return displayedFormat;
}

void ParamTextfield::writeTextFieldDescriptor(WordWriter& out) const {
    out.word(static_cast<std::uint32_t>(getMaxLen()));
    out.flag(isPassword());
    out.flag(dontStorePassword());
    out.flag(supportsNewline());
    out.number32(getHashWithId());
}

void ParamTextfield::retranslateFormat(const TextCatalog* catalog) {
    bool changed = false;
    {
        std::lock_guard lock(formatMutex);
        changed = translateInto(displayedFormat, maxFormatChars, catalog, declaredFormat, TextMode::format,
                                self.isTranslatable());
    }
    if (!changed) return;
    formatChanged();
    self.updateTextWidth();
    self.valueChanged.raiseAll();
    self.markChanged();
}

bool ParamTextfield::readTextWireInput(const RequestValues& values, int& position, bool apply) {
    if (position > values.count()) {
        values.noteProblem("text length beyond the request group");
        return false;
    }
    int cap = getMaxLen();
    if (cap > maxTypedChars) cap = maxTypedChars;
    const auto text = values.text(position, cap);
    if (!text || !apply) return false;
    return setFromTypedText(*text, true);
}

}  // namespace kestrava::params
