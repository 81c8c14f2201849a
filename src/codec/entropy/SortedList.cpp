#include "codec/entropy/SortedList.h"

namespace kestrava::codec::entropy {

bool SortedList::append(std::uint32_t weight, HuffmanNode* node) {
    if (full()) return false;
    slots[slot(count)] = Entry{weight, node};
    ++count;
    return true;
}

bool SortedList::insert(std::uint32_t weight, HuffmanNode* node) {
    if (full()) return false;
    // Searched from the back: merged nodes are heavy and land near the end.
    std::int32_t position = count;
    while (position > 0 && slots[slot(position - 1)].weight > weight) --position;
    for (std::int32_t i = count; i > position; --i) slots[slot(i)] = slots[slot(i - 1)];
    slots[slot(position)] = Entry{weight, node};
    ++count;
    return true;
}

SortedList::Entry SortedList::takeFirst() {
    const Entry first = slots[slot(0)];
    start = (start + 1) % capacity;
    --count;
    return first;
}

SortedList::Entry SortedList::takeLast() {
    --count;
    return slots[slot(count)];
}

}  // namespace kestrava::codec::entropy
