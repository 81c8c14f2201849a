#pragma once

#include "model/InstanceTable.h"

#include <cstdint>

class Model;

// The Model of an instance with the instance table's mutex held for the life of this object (or
// until release()); empty, holding nothing, when lockInstanceModel gave none.
class InstanceModelLock {
public:
    InstanceModelLock(InstanceTable& table_, std::int32_t index) : table(table_), held(table_.lockInstanceModel(index)) {}
    ~InstanceModelLock() { release(); }
    InstanceModelLock(const InstanceModelLock&) = delete;
    InstanceModelLock& operator=(const InstanceModelLock&) = delete;

    Model* model() const { return held; }
    explicit operator bool() const { return held != nullptr; }
    // Gives the mutex back early; afterwards the lock holds nothing.
    void release() {
        if (held != nullptr) {
            held = nullptr;
            table.unlock();
        }
    }

private:
    InstanceTable& table;
    Model* held;
};
