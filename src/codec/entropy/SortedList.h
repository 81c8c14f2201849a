#pragma once

#include "codec/entropy/HuffmanNode.h"

#include <array>
#include <cstdint>

namespace kestrava::codec::entropy {

// Work list of the legacy code build: a ring of entries whose weights do not decrease from the
// first entry to the last. Removing the first entry moves nothing; an insertion moves only the
// entries behind it.
class SortedList {
public:
    // Room for every leaf of the largest legacy alphabet: 2r + 3 symbols at r = 256 (the
    // magnitude the highest legacy bit rate sets).
    static constexpr std::int32_t capacity = 515;

    struct Entry {
        std::uint32_t weight = 0;
        HuffmanNode* node = nullptr;
    };

    void clear() {
        count = 0;
        start = 0;
    }
    std::int32_t size() const { return count; }
    bool full() const { return count == capacity; }

    // Places the entry after the last one without looking at weights. False when full.
    bool append(std::uint32_t weight, HuffmanNode* node);
    // Places the entry behind every entry of weight <= `weight`. False when full.
    bool insert(std::uint32_t weight, HuffmanNode* node);
    // The first entry, removed. Only when not empty.
    Entry takeFirst();
    // The last entry, removed. Only when not empty.
    Entry takeLast();
    const Entry& at(std::int32_t i) const { return slots[slot(i)]; }

private:
    std::int32_t slot(std::int32_t i) const { return (start + i) % capacity; }

    std::array<Entry, capacity> slots{};
    std::int32_t count = 0;
    std::int32_t start = 0;
};

}  // namespace kestrava::codec::entropy
