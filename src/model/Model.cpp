#include "model/Model.h"

#include "model/AutosaveSchedule.h"
#include "model/CommonBase.h"
#include "platform/CrashGuard.h"
#include "model/InstanceTable.h"
#include "model/ParSet.h"
#include "platform/Clock.h"
#include "platform/ThreadSetup.h"

#include <chrono>

Model::Model() { reset(); }

Model::~Model() {
    if (running) stop();
}

void Model::reset() {
    parametersChanged = false;
    modelCommon = nullptr;
    parSet = nullptr;
    running = false;
}

void Model::startAutosave() {
    if (autosaveThread.joinable()) return;
    autosaveStop = false;
    kestrava::ThreadOptions options;
    options.name = "autosave";
    options.priority = -2;
    autosaveThread = kestrava::startThread(std::move(options), [this] {
        CrashGuard::run(CrashGuard::Task::modelAutoSave, [this] { autosaveLoop(); });
        autosaveStop = false;
    });
}

void Model::autosaveLoop() {
    kestrava::model::AutosaveSchedule schedule;
    const auto nowMs = [] { return kestrava::steadyNowNs() / 1'000'000; };
    while (!autosaveStop) {
        const bool signalled = autosaveEvent.waitFor(std::chrono::milliseconds(schedule.nextWaitMs(nowMs())));
        if (autosaveStop) break;
        if (!schedule.afterWait(signalled, settingsChanged, nowMs())) continue;
        settingsChanged = false;
        // Changes made before the first load are not saved: the file would lose what it holds.
        if (modelCommon != nullptr && modelCommon->settingsLoaded && parSet != nullptr) {
            parSet->saveSettingsFile(modelCommon->instancePaths->settingsPath);
        }
    }
}

void Model::markChanged() {
    parametersChanged = true;
    settingsChanged = true;
    autosaveEvent.set();
}

void Model::stop() {
    instanceTable().unregisterModel(index);
    autosaveStop = true;
    autosaveEvent.set();
    if (autosaveThread.joinable()) autosaveThread.join();
    running = false;
    delete modelCommon;
    modelCommon = nullptr;
    delete parSet;
    parSet = nullptr;
    reset();
}
