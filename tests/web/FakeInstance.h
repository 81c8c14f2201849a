#pragma once

#include "params/Param.h"
#include "params/ParamTable.h"
#include "web/ServerMutex.h"
#include "web/content/InstanceAccess.h"

#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace webtest {

// An instance with a small parameter set, that records what the web routes ask of it, in order.
// Waits and pauses return at once; each notes whether the server mutex was free at that moment.
class FakeInstance : public kestrava::web::content::InstanceAccess {
public:
    explicit FakeInstance(kestrava::web::ServerMutex* serverMutex_ = nullptr) : serverMutex(serverMutex_) {
        owner.onWarning = [this](std::string_view t) { note("warning " + std::string(t)); };
    }

    // Registers a parameter (owned here) and makes it visible in every view.
    template <class P>
    P& add(std::unique_ptr<P> p) {
        P& ref = *p;
        owner.registerParam(ref);
        ref.updateViewFlags();
        params.push_back(std::move(p));
        return ref;
    }

    void waitForInput(int view, std::chrono::milliseconds timeout) override {
        note("wait " + std::to_string(view) + " " + std::to_string(timeout.count()) + lockState());
    }
    void pause(std::chrono::milliseconds d) override { note("pause " + std::to_string(d.count()) + lockState()); }
    void diagnostic(std::string_view line) override { note("diagnostic " + std::string(line)); }
    void forEachParam(Model&, const std::function<void(kestrava::params::Param&)>& visit) override {
        for (auto& p : params) visit(*p);
    }
    kestrava::params::Param* findParam(Model&, std::int32_t id) override {
        return owner.findParam(static_cast<kestrava::ParamId>(id));
    }
    void prepareForRedraw(Model&, int view) override { note("prepare " + std::to_string(view)); }
    void processClientChanges(Model&) override { note("process"); }
    void logOut(Model&, int view) override { note("logout " + std::to_string(view)); }

    std::vector<std::string> taken() {
        std::lock_guard lock(mutex);
        return std::exchange(events, {});
    }

    kestrava::params::ParamTable owner;
    std::vector<std::unique_ptr<kestrava::params::Param>> params;

private:
    std::string lockState() {
        if (serverMutex == nullptr) return "";
        if (!serverMutex->tryLockFor(std::chrono::milliseconds(0))) return " locked";
        serverMutex->unlock();
        return " unlocked";
    }
    void note(std::string e) {
        std::lock_guard lock(mutex);
        events.push_back(std::move(e));
    }

    kestrava::web::ServerMutex* serverMutex;
    std::mutex mutex;
    std::vector<std::string> events;
};

}  // namespace webtest
