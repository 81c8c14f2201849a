#pragma once

#include "params/NamePair.h"
#include "params/ParamOwner.h"
#include "params/RequestValues.h"
#include "params/ViewFlags.h"
#include "params/WireContext.h"
#include "params/WordWriter.h"
#include "params/ids/ParamId.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

namespace kestrava::params {

class TextExport;

// Which stored value an operation means: 0 and 1 the default, 2 the saved value, 3 and 4 the
// alternate value, anything else the current value. 0/1 and 3/4 differ only for applyValue.
namespace ValueKind {
inline constexpr int defaultValue = 0;
inline constexpr int defaultKeepSaved = 1;
inline constexpr int saved = 2;
inline constexpr int alternate = 3;
inline constexpr int alternateIfDistinct = 4;
inline constexpr int current = 5;
}  // namespace ValueKind

// The web client's widget type codes.
enum WidgetType : int {
    OMITTED = 0, WAVE, MPX, RF, PEQ, DISPLAYONE, DISPLAYTWO, SLIDER, BOOL_CHECK, HEX, DEC, STRING,
    ENUM, BOOL_SWITCH, ENUMACTION2, MBBANDS, BUTTON, SPECTRUM, ENUMACTION2A, CORVIXKOEKERROR,
    KESTRAVARECEIVER, HEADER, DISPLAYDBS, LINK, BOOL_STATUS, LISTMANAGER, DCWAVE,
};

// The widget type of a widget kind; 0 for every kind without one.
int widgetTypeOfKind(int kind) noexcept;

// Base of every setting and page element. Holds identity, rights mask, names, the per-view change
// flags the "/update" writer consumes, and the shown and enabled state. Scalars and flags are
// atomic; names are under a small mutex, since the web thread and the settings thread both touch
// parameters. Values, texts and wire words are added by the derived classes.
class Param {
public:
    static constexpr std::size_t maxNameChars = 99;
    static constexpr std::size_t maxTitleChars = 100;

    Param(ParamOwner& owner, std::uint32_t viewMask, ParamId id, int kind, std::string_view name);
    virtual ~Param();
    Param(const Param&) = delete;
    Param& operator=(const Param&) = delete;

    ParamOwner& owner() const noexcept { return owner_; }
    ParamId id() const noexcept { return id_; }
    int kind() const noexcept { return kind_; }
    std::uint32_t viewMask() const noexcept { return viewMask_; }
    virtual int widgetType() const { return widgetTypeOfKind(kind_); }

    // ---- names
    virtual std::string name() const;
    virtual int nameLength() const;
    std::string declaredName() const;
    bool isTranslatable() const noexcept { return translatable_.load(); }
    void setTranslatable(bool on) noexcept { translatable_.store(on); }
    // Puts the translation of the declared name in force (after a language change or an export).
    virtual void retranslate();
    virtual void exportTexts(TextExport& out) const;

    // ---- views, shown and enabled state
    virtual void updateViewFlags();
    bool isVisible(int view) const noexcept { return isView(view) && (visibleBits.load() & (1u << view)) != 0; }
    bool isShown() const noexcept { return shown_.load(); }
    bool isEnabled() const noexcept { return enabled_.load(); }
    // Shown and visible in a client's view: the condition for sending its state.
    bool isShownIn(int view) const noexcept { return isShown() && isVisible(view); }
    void setShown(bool shown);
    void setEnabled(bool enabled);
    void setShownFollowsEnabled(bool on) noexcept { shownFollowsEnabled_.store(on); }
    // Restricts visibility to one view; takes effect at the next updateViewFlags.
    void bindToView(int view) noexcept;

    ViewFlags valueChanged;
    ViewFlags enabledChanged;
    ViewFlags stateChanged;
    std::atomic<bool> refreshPending{false};

    // ---- edit rights (elements without a value cannot be edited)
    virtual bool isEditable(int view) const;
    virtual void setEditable(bool on);
    virtual void markEditChanged(int view);
    virtual bool takeEditChanged(int view);

    // ---- content beside the value (an enumeration's entry list)
    virtual bool takeContentChanged(int view);
    virtual bool isContentChanged(int view) const;
    virtual void markContentChanged(int view);
    virtual bool hasGraph() const { return false; }
    virtual bool isWaveform() const { return false; }
    virtual void pollGraph(int view, std::int32_t clientValue);

    // ---- "/update" words. Slot 5 applies what the request group asks; slot 7 writes the
    // description (only when expanded, after the title); slot 6 the state for the effective view.
    virtual bool readWireInput(const RequestContext& request, const RequestValues& values, WidgetContext& widget);
    virtual void writeWireState(const RequestContext& request, WidgetContext& widget, WordWriter& out);
    virtual void writeWireValue(WordWriter& out);

    // ---- values and texts (neutral here; the value classes give them meaning)
    virtual std::string valueText(int view, int kind) const;
    virtual std::string displayText() const;
    virtual float sliderPosition(int view) const;
    virtual bool setFromSliderPosition(int view, float position);
    virtual void updateTextWidth();

    // ---- settings file
    virtual bool isPersistent() const { return false; }
    virtual bool isPersistentInView(int view) const;
    virtual void setPersistent(bool on);
    virtual bool isLoadable(bool wholeFile) const;
    virtual bool isLoadableInView(bool wholeFile, int view) const;
    virtual std::string sectionName() const { return {}; }
    virtual const NamePair* sectionNames() const { return nullptr; }
    virtual const NamePair* keyNames(int index) const;
    virtual std::string keyName(int index) const;
    virtual int valueCount() const { return 0; }
    virtual int subValueCount() const { return 0; }
    virtual std::string saveText(int index) const;
    virtual bool setFromSaveText(int index, std::string_view text);
    virtual std::string shortKey() const { return {}; }
    virtual std::string shortKey2() const { return {}; }
    virtual bool isGeneralPersistent() const { return false; }
    virtual void setGeneral(bool on);

    // ---- stored values and presets
    virtual bool resetIfAlternate() { return false; }
    virtual bool isPresetSetting() const { return false; }
    virtual bool isResettable() const { return false; }
    virtual void setPresetMode(int mode);
    virtual bool applyValue(int kind, bool notify);
    virtual bool isValue(int kind) const;
    virtual bool isAtDefault() const { return false; }

    // ---- change notification
    // The hook after every raised flag. Nothing queues on it; kept as the one place to do so.
    void markChanged() noexcept {}
    // After a change made by a user: opens the linked popup, tells the owner (model flags and
    // autosave).
    void notifyUserChange();
    ParamId popupId() const noexcept { return popupId_.load(); }
    void setPopupId(ParamId id) noexcept { popupId_.store(id); }

protected:
    // Raises all 31 value-changed flags and runs the hook.
    void markValueChangedAll() {
        valueChanged.raiseAll();
        markChanged();
    }
    // The visibility part of updateViewFlags.
    void updateVisibility();
    // Recomputes per-view edit rights into `bits`, marking changes through markEditChanged when
    // `markChanges`.
    void updateEditRights(std::atomic<std::uint32_t>& bits, bool markChanges);

    mutable std::mutex textMutex;  // guards the names (and derived classes' short texts)

private:
    ParamOwner& owner_;
    const ParamId id_;
    const int kind_;
    const std::uint32_t viewMask_;
    std::atomic<bool> translatable_{true};
    std::atomic<std::uint32_t> visibleBits{0};
    std::atomic<bool> enabled_{true};
    std::string name_;
    std::string declaredName_;
    std::atomic<bool> shown_{true};
    std::atomic<bool> shownFollowsEnabled_{false};
    std::atomic<int> boundView_{-1};
    std::atomic<ParamId> popupId_{ID_NONE};
};

// An edit-rights record for the classes that can be edited: the overall flag, per-view rights
// (all set at construction) and per-view edit-changed flags.
struct EditRights {
    std::atomic<bool> editable{true};
    std::atomic<std::uint32_t> inView{allViewBits};
    ViewFlags changed;

    bool allows(int view) const noexcept {
        if (!editable.load()) return false;
        if (view < 0) return true;
        return isView(view) && (inView.load() & (1u << view)) != 0;
    }
};

}  // namespace kestrava::params
