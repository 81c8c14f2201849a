#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

class Model;

// Lets the web server find the Model of an instance. Written only under its mutex; waits for the
// mutex last at most 7500 ms.
class InstanceTable {
public:
    static constexpr int slotCount = 1;
    static constexpr std::chrono::milliseconds lockTimeout{7500};

    // Stores the model in the slot of its index (written without the mutex after a time-out).
    void registerModel(std::int32_t index, Model* model);
    void unregisterModel(std::int32_t index);

    // The Model of an index with the mutex held (release with unlock()); none, without the
    // mutex, for an empty slot, an index outside the table or a time-out (which writes
    // "Could not get the correct model for instance ..." on standard error).
    Model* lockInstanceModel(std::int32_t index);
    void unlock();

private:
    bool lockOrReport(std::int32_t index);
    void release();

    // A recursive lock with a time-out, built on a plain mutex and a condition variable (the
    // timed lock calls of the C library escape the thread sanitizer's bookkeeping).
    std::mutex guard;
    std::condition_variable freed;
    std::thread::id owner;
    int depth = 0;
    std::array<Model*, slotCount> slots{};
};

InstanceTable& instanceTable();
