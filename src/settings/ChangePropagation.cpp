#include "settings/ChangePropagation.h"

#include "settings/TreeWalks.h"

namespace kestrava::settings {

ChangePropagation::ChangePropagation(TreeWalks& w, std::function<void()> apply)
    : walks(w), applyToEngine(std::move(apply)) {}

void ChangePropagation::refreshVisibilityGuarded() {
    // Announced before the lock is taken, so a walk that arrives during a load skips at once.
    if (loading.load() != 0) return;
    std::lock_guard lock(walkMutex);
    if (loading.load() != 0) return;
    walks.refreshVisibility();
}

void ChangePropagation::applySettings() {
    std::lock_guard lock(walkMutex);
    walks.storeParamsToSettings();
    if (applyToEngine) applyToEngine();
}

void ChangePropagation::refreshEnabledStatesOnce() {
    std::lock_guard lock(walkMutex);
    walks.refreshEnabledStates();
}

void ChangePropagation::processParamChanges() {
    std::lock_guard lock(walkMutex);
    refreshVisibilityGuarded();
    applySettings();
    refreshEnabledStatesOnce();
}

ChangePropagation::LoadScope::LoadScope(ChangePropagation& p) : owner(p) {
    owner.loading.fetch_add(1);
    owner.walkMutex.lock();
}

ChangePropagation::LoadScope::~LoadScope() {
    owner.walkMutex.unlock();
    owner.loading.fetch_sub(1);
}

}  // namespace kestrava::settings
