#include "model/Model.h"

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
    std::int64_t firstPendingNs = 0;
    while (!autosaveStop) {
        const bool woken = autosaveEvent.waitFor(std::chrono::milliseconds(autosaveRestMs));
        if (autosaveStop) break;
        if (!settingsChanged) {
            firstPendingNs = 0;
            continue;
        }
        const std::int64_t now = kestrava::steadyNowNs();
        if (firstPendingNs == 0) firstPendingNs = now;
        // A save 30 s after the last change, or at the latest 5 minutes after the first one,
        // so that a steady trickle of changes cannot hold the file back for ever.
        const bool overdue = now - firstPendingNs >= std::int64_t{autosaveLatestMs} * 1'000'000;
        if (woken && !overdue) continue;
        settingsChanged = false;
        firstPendingNs = 0;
        if (modelCommon != nullptr && modelCommon->settingsLoaded && parSet != nullptr) {
            parSet->saveSettingsFile(*modelCommon->instancePaths);
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
