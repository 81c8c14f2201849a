#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

namespace kestrava::params {

class TextCatalog;
class TextExport;

// One entry of an enumeration: the value a parameter stores, a level and a selectable flag sent
// with the entry, a key (the settings-file text) and a label (shown, translatable).
class LMEnumType {
public:
    LMEnumType(std::int32_t v, std::int32_t lvl, bool sel) : value(v), level(lvl), selectable(sel) {}
    virtual ~LMEnumType() = default;
    virtual int getLabelLength() const = 0;
    virtual std::string getLabel() const = 0;
    virtual std::string getKey() const = 0;
    virtual bool retranslate(const TextCatalog*, bool) { return false; }
    virtual void exportTexts(TextExport&) const {}

    std::atomic<std::int32_t> value;
    std::atomic<std::int32_t> level;
    std::atomic<bool> selectable;
};

// An entry with texts known at start: the label capacity is twice the label's length, at least
// 128 and at most 256 characters; the translation of the source label goes into it.
class LMEnumType_Static : public LMEnumType {
public:
    LMEnumType_Static(std::int32_t value, std::string_view key, std::string_view label);
    int getLabelLength() const override;
    std::string getLabel() const override;
    std::string getKey() const override { return key; }
    bool retranslate(const TextCatalog* catalog, bool translatable) override;
    void exportTexts(TextExport& out) const override;
    int labelCapacity() const noexcept { return capacity; }

private:
    const int capacity;
    mutable std::mutex labelMutex;
    std::string label;
    const std::string key;
    const std::string sourceLabel;
};

// An entry filled at run time, each text cut to N characters.
template <int N>
class LMEnumType_Dynamic : public LMEnumType {
public:
    LMEnumType_Dynamic() : LMEnumType(0, 0, true) {}
    void set(std::int32_t v, std::string_view k, std::string_view l, std::int32_t lvl, bool sel) {
        value.store(v);
        level.store(lvl);
        selectable.store(sel);
        std::lock_guard lock(textMutex);
        key.assign(k.substr(0, std::min<std::size_t>(k.size(), N)));
        label.assign(l.substr(0, std::min<std::size_t>(l.size(), N)));
    }
    int getLabelLength() const override {
        std::lock_guard lock(textMutex);
        return static_cast<int>(label.size());
    }
    std::string getLabel() const override {
        std::lock_guard lock(textMutex);
        return label;
    }
    std::string getKey() const override {
        std::lock_guard lock(textMutex);
        return key;
    }

private:
    mutable std::mutex textMutex;
    std::string label;
    std::string key;
};

}  // namespace kestrava::params
