#pragma once

#include "params/LMEnumType.h"

#include <array>
#include <memory>
#include <span>
#include <vector>

namespace kestrava::params {

// A list of enumeration entries. getEntry returns null for an index outside 0..count-1.
class LMEnumList {
public:
    virtual ~LMEnumList() = default;
    virtual LMEnumType* getEntry(int index) const = 0;
    virtual int getCount() const = 0;
};

// A fixed number of run-time entries (sound cards, network interfaces, preset scopes), filled
// while the settings store is built.
template <int Capacity, int N>
class LMEnum_StaticLengthList : public LMEnumList {
public:
    LMEnumType* getEntry(int index) const override {
        if (index < 0 || index >= getCount()) return nullptr;
        return const_cast<LMEnumType_Dynamic<N>*>(&entries[static_cast<std::size_t>(index)]);
    }
    int getCount() const override { return count.load(); }

    // Inserts at `index` (0..count), moving later entries up; false when full or out of range.
    bool insertAt(int index, std::int32_t value, std::string_view key, std::string_view label, std::int32_t level,
                  bool selectable) {
        const int n = count.load();
        if (n >= Capacity || index < 0 || index > n) return false;
        for (int i = n; i > index; --i) {
            const auto& from = entries[static_cast<std::size_t>(i - 1)];
            entries[static_cast<std::size_t>(i)].set(from.value.load(), from.getKey(), from.getLabel(),
                                                     from.level.load(), from.selectable.load());
        }
        entries[static_cast<std::size_t>(index)].set(value, key, label, level, selectable);
        count.store(n + 1);
        return true;
    }
    // A not-selectable placeholder with value -1.
    bool append(std::string_view text) { return insertAt(getCount(), -1, text, text, 0, false); }
    bool add(std::int32_t value, std::string_view key, std::string_view label) {
        return insertAt(getCount(), value, key, label, 0, true);
    }

private:
    std::array<LMEnumType_Dynamic<N>, static_cast<std::size_t>(Capacity)> entries{};
    std::atomic<int> count{0};
};

// A growable list of static entries (a question's answers).
class LMEnum_DynamicLengthList : public LMEnumList {
public:
    LMEnumType* getEntry(int index) const override {
        if (index < 0 || index >= getCount()) return nullptr;
        return entries[static_cast<std::size_t>(index)].get();
    }
    int getCount() const override { return static_cast<int>(entries.size()); }
    void add(std::int32_t value, std::string_view key, std::string_view label) {
        entries.push_back(std::make_unique<LMEnumType_Static>(value, key, label));
    }

private:
    std::vector<std::unique_ptr<LMEnumType_Static>> entries;
};

// A fixed value table: a view of static entries that live as long as the program.
class LMEnum_Compiletime : public LMEnumList {
public:
    explicit LMEnum_Compiletime(std::span<LMEnumType_Static> table) : entries(table) {}
    LMEnumType* getEntry(int index) const override {
        if (index < 0 || index >= getCount()) return nullptr;
        return &entries[static_cast<std::size_t>(index)];
    }
    int getCount() const override { return static_cast<int>(entries.size()); }

private:
    std::span<LMEnumType_Static> entries;
};

// The codec bit rates offered by "Bitrate (V1)": 320 (standard), 340, 360, 384, 400 kbit/s.
LMEnum_Compiletime& bitRateList();

}  // namespace kestrava::params
