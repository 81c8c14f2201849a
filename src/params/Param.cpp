#include "params/Param.h"

#include "params/PPopup.h"
#include "params/TextCatalog.h"
#include "params/ids/ParamIdName.h"

#include <cstdio>

namespace kestrava::params {

namespace {

// Widget type per kind 0..44.
constexpr signed char kindTable[45] = {
    OMITTED, SLIDER, SLIDER, SLIDER, SLIDER, SLIDER, SLIDER, HEX, DEC, ENUMACTION2A,  // 0-9
    ENUM, HEADER, STRING, PEQ, DISPLAYONE, DISPLAYTWO, DISPLAYDBS, WAVE, DCWAVE, MPX,  // 10-19
    OMITTED, OMITTED, MBBANDS, OMITTED, OMITTED, OMITTED, BUTTON, OMITTED, OMITTED, OMITTED,  // 20-29
    STRING, OMITTED, OMITTED, OMITTED, HEADER, OMITTED, RF, STRING, OMITTED, SPECTRUM,  // 30-39
    CORVIXKOEKERROR, KESTRAVARECEIVER, OMITTED, LINK, LISTMANAGER,  // 40-44
};

std::string cut(std::string_view text, std::size_t maxChars) {
    return std::string(text.substr(0, std::min(text.size(), maxChars)));
}

}  // namespace

int widgetTypeOfKind(int kind) noexcept {
    if (kind < 0 || kind > 44) return OMITTED;
    return kindTable[kind];
}

Param::Param(ParamOwner& owner, std::uint32_t viewMask, ParamId id, int kind, std::string_view name)
    : owner_(owner), id_(id), kind_(kind), viewMask_(viewMask),
      name_(cut(name, maxNameChars)), declaredName_(cut(name, maxNameChars)) {}

Param::~Param() = default;

std::string Param::name() const {
    std::lock_guard lock(textMutex);
    return name_;
}

int Param::nameLength() const {
    std::lock_guard lock(textMutex);
    return static_cast<int>(std::min(name_.size(), maxTitleChars));
}

std::string Param::declaredName() const {
    std::lock_guard lock(textMutex);
    return declaredName_;
}

void Param::retranslate() {
    bool changed = false;
    {
        std::lock_guard lock(textMutex);
        changed = translateInto(name_, maxTitleChars, owner_.translations(), declaredName_, TextMode::label,
                                isTranslatable());
    }
    if (changed) markChanged();
}

void Param::exportTexts(TextExport& out) const {
    if (!isTranslatable()) return;
    out.add(declaredName(), TextMode::label);
}

void Param::bindToView(int view) noexcept { boundView_.store(view); }

void Param::updateVisibility() {
    const int bound = boundView_.load();
    std::uint32_t next = 0;
    for (int v = 0; v < viewCount; ++v) {
        const bool visible = (viewMask_ & owner_.viewRights(v)) != 0 && (bound < 0 || v == bound);
        if (visible) next |= 1u << v;
    }
    const std::uint32_t before = visibleBits.exchange(next);
    const std::uint32_t changed = before ^ next;
    if (changed == 0 || !isShown()) return;
    for (int v = 0; v < viewCount; ++v) {
        if ((changed & (1u << v)) != 0) stateChanged.mark(v);
    }
    markChanged();
}

void Param::updateEditRights(std::atomic<std::uint32_t>& bits, bool markChanges) {
    std::uint32_t next = 0;
    for (int v = 0; v < viewCount; ++v) {
        if ((viewMask_ & owner_.editRights(v)) != 0) next |= 1u << v;
    }
    const std::uint32_t changed = bits.exchange(next) ^ next;
    if (!markChanges) return;
    for (int v = 0; v < viewCount; ++v) {
        if ((changed & (1u << v)) != 0) markEditChanged(v);
    }
}

void Param::updateViewFlags() { updateVisibility(); }

void Param::setShown(bool shown) {
    if (shown_.exchange(shown) == shown) return;
    stateChanged.raiseAll();
    markChanged();
}

void Param::setEnabled(bool enabled) {
    if (enabled_.exchange(enabled) == enabled) return;
    if (shownFollowsEnabled_.load()) setShown(enabled);
    enabledChanged.raiseAll();
    markChanged();
}

bool Param::isEditable(int) const { return false; }
void Param::setEditable(bool) {}
void Param::markEditChanged(int) {}
bool Param::takeEditChanged(int) { return false; }
bool Param::takeContentChanged(int) { return false; }
bool Param::isContentChanged(int) const { return false; }
void Param::markContentChanged(int) {}
void Param::pollGraph(int, std::int32_t) {}

bool Param::readWireInput(const RequestContext&, const RequestValues&, WidgetContext&) { return false; }
void Param::writeWireState(const RequestContext&, WidgetContext&, WordWriter&) {}
void Param::writeWireValue(WordWriter&) {}

std::string Param::valueText(int, int) const { return {}; }
std::string Param::displayText() const { return {}; }
float Param::sliderPosition(int) const { return 0.0f; }
bool Param::setFromSliderPosition(int, float) { return false; }
void Param::updateTextWidth() {}

bool Param::isPersistentInView(int) const { return false; }
void Param::setPersistent(bool) {}
bool Param::isLoadable(bool) const { return false; }
bool Param::isLoadableInView(bool, int) const { return false; }
const NamePair* Param::keyNames(int) const { return nullptr; }
std::string Param::keyName(int) const { return {}; }
std::string Param::saveText(int) const { return {}; }
bool Param::setFromSaveText(int, std::string_view) { return false; }
void Param::setGeneral(bool) {}
void Param::setPresetMode(int) {}
bool Param::applyValue(int, bool) { return false; }
bool Param::isValue(int) const { return true; }

void Param::notifyUserChange() {
    const ParamId popup = popupId();
    if (popup != ID_NONE) {
        PPopup* target = isParamIdIndex(popup) ? dynamic_cast<PPopup*>(owner_.findParam(popup)) : nullptr;
        if (target != nullptr) {
            target->show(true);
        } else {
            std::fprintf(stderr, "Popup %s does not exist\n", getParamIdName(popup));
        }
    }
    owner_.userChanged();
}

}  // namespace kestrava::params
