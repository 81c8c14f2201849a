#pragma once

#include <atomic>
#include <functional>
#include <mutex>

namespace kestrava::settings {

class TreeWalks;

// Runs the walks over the settings tree in the orders their callers need, one at a time: every
// walk takes the walk lock, and a settings load holds it for the whole time it applies a file
// (LoadScope), so no walk ever sees a half-applied file and the load waits for a walk that is
// running. The visibility walk is skipped, not queued, while a load is in progress: the load
// ends with walks of its own.
class ChangePropagation {
public:
    // `applyToEngine` passes the live settings on to the running encoder (the controller's
    // apply); it may be empty.
    ChangePropagation(TreeWalks& walks, std::function<void()> applyToEngine);

    // The visibility walk, unless a settings file is being applied.
    void refreshVisibilityGuarded();
    // The store walk, then the controller's apply.
    void applySettings();
    // One enabled-state walk.
    void refreshEnabledStatesOnce();
    // After a client changed parameters: visibility, apply, enabled states, in that order, so
    // that the enabled states see what was applied.
    void processParamChanges();

    // Held by the settings loader while it sets rows from a file and applies them. Walks of the
    // loader's own thread still run inside it.
    class LoadScope {
    public:
        explicit LoadScope(ChangePropagation& p);
        ~LoadScope();
        LoadScope(const LoadScope&) = delete;
        LoadScope& operator=(const LoadScope&) = delete;

    private:
        ChangePropagation& owner;
    };
    bool loadInProgress() const noexcept { return loading.load(); }

private:
    TreeWalks& walks;
    std::function<void()> applyToEngine;
    std::recursive_mutex walkMutex;
    std::atomic<int> loading{0};
};

}  // namespace kestrava::settings
