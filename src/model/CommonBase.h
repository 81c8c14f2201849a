#pragma once

#include "model/InstancePaths.h"
#include "platform/AlignedNew.h"
#include "settings/NetworkInterfaceList.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

class Model;

namespace kestrava::model {
class InstanceAccounts;
}

// What any program built on the parameter model needs of an instance: the web-interface
// settings and the instance's folders and file paths.
class CommonBase : public kestrava::AlignedNew, public NetworkInterfaceList {
public:
    static constexpr std::size_t whiteListMax = 1024;

    CommonBase(Model* owner, const char* argv0);
    virtual ~CommonBase();

    CommonBase(const CommonBase&) = delete;
    CommonBase& operator=(const CommonBase&) = delete;

    Model* const owner;
    bool webEnabled = true;
    std::atomic<std::int32_t> webPort{8080};
    std::string webWhiteList = "/0";  // at most 1024 characters
    bool lowBandwidthMode = false;
    const std::unique_ptr<InstancePaths> instancePaths;
    // Set once the settings file has been loaded at start-up; the autosave writes only then.
    std::atomic<bool> settingsLoaded{false};
    // The accounts, logins and rights of the instance, tied to its account rows; null until the
    // settings tree with those rows is declared (without it every view sees everything).
    std::unique_ptr<kestrava::model::InstanceAccounts> accounts;
};
