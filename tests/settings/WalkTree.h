#pragma once

#include "FactoryTree.h"

#include "params/PListManager.h"
#include "settings/DestinationRows.h"
#include "settings/LiveFields.h"
#include "settings/TreeWalks.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace settingstest {

// Live fields that record the actions the walks start.
class RecordingFields : public kestrava::settings::InstanceFields {
public:
    using InstanceFields::InstanceFields;
    void setStreamKey(const char* key) override { handedKeys.emplace_back(key); }
    void checkAccountRow(int account) override { checkedAccounts.push_back(account); }
    void clearLoginErrorMark(kestrava::settings::LoginField f, int slot) override { clearedMarks.emplace_back(f, slot); }

    std::vector<std::string> handedKeys;
    std::vector<int> checkedAccounts;
    std::vector<std::pair<kestrava::settings::LoginField, int>> clearedMarks;
};

// A new instance's tree with its live fields, the destination row actions bound, and the walks.
struct WalkTree : FactoryTree {
    std::unique_ptr<RecordingFields> fields;
    std::unique_ptr<kestrava::settings::TreeWalks> walks;

    explicit WalkTree(const std::vector<kestrava::net::NetworkInterface>& adapters = {}) {
        if (!adapters.empty()) {
            nics = std::make_unique<kestrava::settings::InterfaceChoices>();
            FixedInterfaces machine(adapters);
            kestrava::settings::fillInterfaceList(*nics, machine);
            sources.interfaces = nics.get();
        }
        sources.destinationRows = kestrava::settings::destinationRowActions(owner);
        build();
        fields = std::make_unique<RecordingFields>(sources);
        walks = std::make_unique<kestrava::settings::TreeWalks>(rows, *settings, *fields);
    }

    // Forgets every change flag of every row, as if all clients had been sent everything.
    void settle() {
        for (auto& p : rows) {
            p->valueChanged.clear(kestrava::params::allViewBits);
            p->stateChanged.clear(kestrava::params::allViewBits);
            p->enabledChanged.clear(kestrava::params::allViewBits);
        }
    }
    // The first row with a change flag raised, or null.
    const kestrava::params::Param* firstMarked() const {
        for (const auto& p : rows) {
            if (p->valueChanged.word() != 0 || p->stateChanged.word() != 0 || p->enabledChanged.word() != 0) {
                return p.get();
            }
        }
        return nullptr;
    }
    kestrava::params::Param& at(kestrava::ParamId first, int n) const {
        return row(static_cast<kestrava::ParamId>(first + n));
    }
    template <typename P>
    P& at(kestrava::ParamId first, int n) const {
        return row<P>(static_cast<kestrava::ParamId>(first + n));
    }
};

}  // namespace settingstest
