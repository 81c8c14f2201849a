#pragma once

#include "platform/AutoResetEvent.h"

#include <atomic>
#include <cstdint>
#include <thread>

class CommonBase;
class ParSet;

// The root object of one instance: it owns the instance's working objects (ModelCommon) and its
// settings store (ParSet), keeps the instance index, and carries change signalling from the
// parameters to the autosave, which writes the settings file once changes have rested for 30 s
// (at the latest 5 minutes after the first unsaved change: AutosaveSchedule).
class Model {
public:
    Model();
    ~Model();
    Model(const Model&) = delete;
    Model& operator=(const Model&) = delete;

    // Clears the flags and forgets (without deleting) the owned objects.
    void reset();
    // Starts the autosave thread at the lowest priority.
    void startAutosave();
    // Leaves the instance table, ends the autosave thread, then deletes the ModelCommon and
    // then the ParSet.
    void stop();
    // A parameter changed: the settings file is now behind, and the autosave is woken.
    void markChanged();

    std::int32_t index = 0;
    std::atomic<bool> parametersChanged{false};
    std::atomic<bool> autosaveStop{false};
    CommonBase* modelCommon = nullptr;  // owned
    ParSet* parSet = nullptr;           // owned
    std::atomic<bool> running{false};
    kestrava::AutoResetEvent autosaveEvent;
    // A change waits to be saved (set by changes and by a failed save, cleared by a save).
    std::atomic<bool> settingsChanged{false};

private:
    void autosaveLoop();
    std::thread autosaveThread;
};
