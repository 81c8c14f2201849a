#include "model/InstanceTable.h"

#include <cstdio>

bool InstanceTable::lockOrReport(std::int32_t index) {
    {
        std::unique_lock lock(guard);
        const auto self = std::this_thread::get_id();
        if (freed.wait_for(lock, lockTimeout, [&] { return depth == 0 || owner == self; })) {
            owner = self;
            ++depth;
            return true;
        }
    }
    std::fprintf(stderr, "Could not get the correct model for instance %d (timeout of %dms expired)\n", index,
                 static_cast<int>(lockTimeout.count()));
    return false;
}

void InstanceTable::registerModel(std::int32_t index, Model* model) {
    if (index < 0 || index >= slotCount) return;
    const bool locked = lockOrReport(index);
    slots[index] = model;
    if (locked) release();
}

void InstanceTable::unregisterModel(std::int32_t index) { registerModel(index, nullptr); }

Model* InstanceTable::lockInstanceModel(std::int32_t index) {
    if (index < 0 || index >= slotCount) return nullptr;
    if (!lockOrReport(index)) return nullptr;
    Model* model = slots[index];
    if (model == nullptr) release();
    return model;
}

void InstanceTable::unlock() { release(); }

void InstanceTable::release() {
    {
        std::lock_guard lock(guard);
        if (depth == 0 || owner != std::this_thread::get_id()) return;
        if (--depth == 0) owner = std::thread::id();
    }
    freed.notify_all();
}

InstanceTable& instanceTable() {
    static InstanceTable table;
    return table;
}
