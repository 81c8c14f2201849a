#include "model/InstanceTable.h"

#include <cstdio>

bool InstanceTable::lockOrReport(std::int32_t index) {
    if (mutex.try_lock_for(lockTimeout)) return true;
    std::fprintf(stderr, "Could not get the correct model for instance %d (timeout of %dms expired)\n", index,
                 static_cast<int>(lockTimeout.count()));
    return false;
}

void InstanceTable::registerModel(std::int32_t index, Model* model) {
    if (index < 0 || index >= slotCount) return;
    const bool locked = lockOrReport(index);
    slots[index] = model;
    if (locked) mutex.unlock();
}

void InstanceTable::unregisterModel(std::int32_t index) { registerModel(index, nullptr); }

Model* InstanceTable::lockInstanceModel(std::int32_t index) {
    if (index < 0 || index >= slotCount) return nullptr;
    if (!lockOrReport(index)) return nullptr;
    Model* model = slots[index];
    if (model == nullptr) mutex.unlock();
    return model;
}

void InstanceTable::unlock() { mutex.unlock(); }

InstanceTable& instanceTable() {
    static InstanceTable table;
    return table;
}
