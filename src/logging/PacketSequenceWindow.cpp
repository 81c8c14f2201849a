#include "logging/PacketSequenceWindow.h"

#include <algorithm>

void PacketSequenceWindow::enter(std::uint64_t position, bool firstFlag, bool secondFlag) {
    const std::uint64_t b = base.load();
    const std::uint32_t d = static_cast<std::uint32_t>(position - b);
    const std::uint32_t perSlot = static_cast<std::uint32_t>(positionsPerSlot);
    int slot = -1;
    if (d > 0xFFFFFFFFu - static_cast<std::uint32_t>(span)) {
        // 1 to span positions behind base.
        const std::uint32_t k = static_cast<std::uint32_t>(b - position) / perSlot;
        if (k < static_cast<std::uint32_t>(slotCount)) {
            slot = static_cast<int>((static_cast<std::uint32_t>(head) - k) % slotCount);
        }
    } else {
        const std::uint32_t n = (d + perSlot - 1) / perSlot;
        base.store(static_cast<std::uint32_t>(static_cast<std::uint32_t>(b) + n * perSlot));
        const int m = static_cast<int>(std::min<std::uint32_t>(n, slotCount));
        for (int i = 1; i <= m; ++i) slots[(head + i) % slotCount] = PacketSequenceSlot{};
        head = (head + m) % slotCount;
        changed = true;
        slot = head;
    }
    if (slot >= 0) {
        const auto v = static_cast<std::int32_t>(static_cast<std::uint32_t>(position - referencePosition.load()));
        PacketSequenceSlot& s = slots[slot];
        (firstFlag ? s.flaggedMin : s.plainMin).update(v);
        if (secondFlag) s.extraMin.update(v);
        changed = true;
    }
    receptionState = 1;
    packetSeen = 1;
}
