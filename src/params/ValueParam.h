#pragma once

#include "params/Param.h"

#include <array>
#include <atomic>
#include <mutex>
#include <string>
#include <type_traits>
#include <utility>

namespace kestrava::params {

// The four stored values of a parameter: scalars are atomic, texts share a small mutex.
template <typename T>
class ValueSlots {
public:
    T load(int slot) const noexcept { return slots[static_cast<std::size_t>(slot)].load(); }
    void store(int slot, const T& v) noexcept { slots[static_cast<std::size_t>(slot)].store(v); }

private:
    std::array<std::atomic<T>, 4> slots{};
};

template <>
class ValueSlots<std::string> {
public:
    std::string load(int slot) const {
        std::lock_guard lock(mutex);
        return slots[static_cast<std::size_t>(slot)];
    }
    void store(int slot, const std::string& v) {
        std::lock_guard lock(mutex);
        slots[static_cast<std::size_t>(slot)] = v;
    }
    // Reads a text in place, without a copy (for code that must not allocate). `f` runs under the
    // lock and must not touch another parameter.
    template <class F>
    decltype(auto) inspect(int slot, F&& f) const {
        std::lock_guard lock(mutex);
        return std::forward<F>(f)(std::as_const(slots[static_cast<std::size_t>(slot)]));
    }

private:
    mutable std::mutex mutex;
    std::array<std::string, 4> slots;
};

// A Param with a value of type T (bool, int32, int64, float or text) in four stored forms:
// current, default, alternate and saved. It adds the rules that move values between them, the
// settings-file identity (section, key, short keys, persistence and load flags) and per-view edit
// rights. Formatting, parsing, comparing and slider mapping are the concrete class's.
template <typename T>
class ValueParam : public Param {
public:
    using value_type = T;

    ValueParam(ParamOwner& owner, std::uint32_t viewMask, ParamId id, int kind, std::string_view name,
               const ShortKey& shortKey, const NamePair& section, const NamePair& key)
        : Param(owner, viewMask, id, kind, name), section_(section), key_(key), shortKey_(shortKey) {}

    // ---- values
    T getValue(int kind) const { return slots.load(slotOf(kind)); }
    T current() const { return slots.load(currentSlot); }
    // The current text read in place (text parameters only); see ValueSlots::inspect.
    template <class F>
    decltype(auto) inspectCurrent(F&& f) const {
        return slots.inspect(currentSlot, std::forward<F>(f));
    }
    // Makes v current: false (nothing raised) when it equals the current value.
    virtual bool setValue(T v) { return commitValue(std::move(v)); }
    virtual std::string formatValue(int view, const T& v) const = 0;
    virtual bool isInRange(const T&) const { return true; }
    virtual bool valuesEqual(const T& a, const T& b) const { return a == b; }
    virtual T parseText(int index, std::string_view text) const = 0;
    virtual T valueFromSliderPosition(int view, float position) const = 0;
    virtual bool isKindSupported() const = 0;
    // A direct store into one of the four values, without flags (construction, tests).
    void storeDefaultEverywhere(const T& v) {
        for (int s = 0; s < 4; ++s) slots.store(s, normalized(v));
    }
    void storeAlternate(const T& v) { slots.store(alternateSlot, normalized(v)); }

    std::string valueText(int view, int kind) const override { return formatValue(view, getValue(kind)); }
    bool setFromSliderPosition(int view, float position) override {
        return setValue(valueFromSliderPosition(view, position));
    }

    // ---- presets
    bool resetIfAlternate() override {
        if (isEnabled() || !autoReset.load() || !valuesEqual(current(), getValue(ValueKind::alternate))) return false;
        applyValue(ValueKind::defaultKeepSaved, false);
        return true;
    }
    bool isPresetSetting() const override { const int m = presetMode.load(); return m == 2 || m == 3; }
    bool isResettable() const override { const int m = presetMode.load(); return m == 1 || m == 3; }
    void setPresetMode(int mode) override { presetMode.store(mode); }
    bool applyValue(int kind, bool notify) override {
        if (presetMode.load() == 0) return false;
        const T def = getValue(ValueKind::defaultValue);
        if (kind == ValueKind::alternateIfDistinct && valuesEqual(getValue(ValueKind::alternate), def)) return false;
        bool result = false;
        if (kind == ValueKind::defaultValue || kind == ValueKind::alternate || kind == ValueKind::alternateIfDistinct) {
            const T source = kind == ValueKind::defaultValue ? def : getValue(ValueKind::alternate);
            if (!valuesEqual(getValue(ValueKind::saved), source)) {
                slots.store(savedSlot, source);
                markValueChangedAll();
            }
            result = setValue(getValue(ValueKind::saved));
        } else if (kind == ValueKind::defaultKeepSaved) {
            result = setValue(def);
        } else {
            result = setValue(getValue(ValueKind::saved));
        }
        if (result && notify) notifyUserChange();
        return result;
    }
    bool isValue(int kind) const override { return valuesEqual(current(), getValue(kind)); }
    bool isAtDefault() const override {
        const T def = getValue(ValueKind::defaultValue);
        return valuesEqual(current(), def) && valuesEqual(getValue(ValueKind::saved), def);
    }

    // ---- edit rights
    void updateViewFlags() override {
        updateVisibility();
        updateEditRights(edit.inView, edit.editable.load());
    }
    bool isEditable(int view) const override { return edit.allows(view); }
    void setEditable(bool on) override {
        if (edit.editable.exchange(on) != on) markEditChanged(allViews);
    }
    void markEditChanged(int view) override {
        edit.changed.mark(view);
        markChanged();
    }
    bool takeEditChanged(int view) override { return edit.changed.take(view); }

    // ---- settings file
    bool isPersistent() const override { return persistent.load(); }
    bool isPersistentInView(int view) const override { return isPersistent() && (view < 0 || isVisible(view)); }
    void setPersistent(bool on) override { persistent.store(on); }
    bool isLoadable(bool wholeFile) const override { return loadable.load() || (wholeFile && loadFullFileOnly.load()); }
    bool isLoadableInView(bool wholeFile, int view) const override {
        return isLoadable(wholeFile) && (view < 0 || (isView(view) && (edit.inView.load() & (1u << view)) != 0));
    }
    void setLoadable(bool on) { loadable.store(on); }
    void setLoadableFromFullFileOnly(bool on) { loadFullFileOnly.store(on); }
    std::string sectionName() const override { return section_.inUse(); }
    const NamePair* sectionNames() const override { return &section_; }
    const NamePair* keyNames(int) const override { return &key_; }
    std::string keyName(int) const override { return key_.inUse(); }
    int valueCount() const override { return 1; }
    int subValueCount() const override { return 1; }
    std::string shortKey() const override { return shortKey_.first; }
    std::string shortKey2() const override { return shortKey_.second; }
    bool isGeneralPersistent() const override { return general.load() && isPersistent(); }
    void setGeneral(bool on) override { general.store(on); }

    // A loaded text becomes the current and the saved value. A value outside the parameter's range
    // keeps the default, with a warning.
    bool setFromSaveText(int index, std::string_view text) override {
        T v = parseText(index, text);
        if (!isInRange(v)) {
            owner().warning("setting " + keyName(index) + " = \"" + std::string(text.substr(0, 64)) +
                            "\" is out of range; the default is kept");
            v = getValue(ValueKind::defaultValue);
        }
        const bool changed = setValue(v);
        if (!valuesEqual(getValue(ValueKind::saved), current())) {
            slots.store(savedSlot, current());
            if (!changed) {
                valueChanged.raise(allViewBits & ~anyViewBit);
                markChanged();
            }
        }
        return changed;
    }

    // The web apply steps: editable in the client's view, in range, a change; then the user-change
    // notification.
    bool applyFromUser(int clientView, const T& v) {
        if (!isEditable(clientView)) return false;
        return applyChecked(v);
    }
    bool applyChecked(const T& v) {
        if (!isInRange(v) || !setValue(v)) return false;
        notifyUserChange();
        return true;
    }

    std::atomic<bool> autoReset{false};

protected:
    // The generic change of the current value.
    bool commitValue(T v) {
        v = normalized(std::move(v));
        if (valuesEqual(current(), v)) return false;
        slots.store(currentSlot, v);
        markValueChangedAll();
        return true;
    }
    // How a value is kept (a text is cut to its maximum).
    virtual T normalized(T v) const { return v; }

    EditRights edit;

private:
    static constexpr int currentSlot = 0, defaultSlot = 1, alternateSlot = 2, savedSlot = 3;
    static int slotOf(int kind) noexcept {
        switch (kind) {
            case 0: case 1: return defaultSlot;
            case 2: return savedSlot;
            case 3: case 4: return alternateSlot;
            default: return currentSlot;
        }
    }

    ValueSlots<T> slots;
    std::atomic<int> presetMode{3};
    std::atomic<bool> persistent{true};
    std::atomic<bool> loadable{true};
    std::atomic<bool> loadFullFileOnly{false};
    const NamePair section_;
    const NamePair key_;
    const ShortKey shortKey_;
    std::atomic<bool> general{true};
};

}  // namespace kestrava::params
