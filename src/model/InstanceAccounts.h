#pragma once

#include "model/AccountRows.h"
#include "model/LoginTable.h"
#include "model/LoginThrottle.h"
#include "model/UserAccounts.h"
#include "params/ButtonFunction.h"
#include "params/PListManager.h"

#include <functional>
#include <string>

namespace KestravaLogger {
class Logger;
}

namespace kestrava::settings {
struct TreeSources;
}

namespace kestrava::model {

// The accounts, logins and rights of one instance, tied to the account and login rows of its
// settings tree: the defaults and actions the declaration reads, the buttons "Log in", "Log out"
// and "Apply changes (BE CAREFUL!)", the account list's row operations, and the steps after a
// whole settings file was loaded. Every operation runs where the rows are changed (a web worker
// holding the instance's locks, or the loader); none takes a lock of its own.
class InstanceAccounts {
public:
    InstanceAccounts(params::ParamTable& table, KestravaLogger::Logger* logger = nullptr,
                     const SystemClock& clock = realSystemClock());
    InstanceAccounts(const InstanceAccounts&) = delete;
    InstanceAccounts& operator=(const InstanceAccounts&) = delete;

    // The records' state and the actions, for the declaration of the rows. The actions must
    // outlive the rows: they are members of this object.
    void fillSources(settings::TreeSources& sources) const;

    // After a whole settings file was applied to the rows: the committed rows become the
    // committed accounts, pending edits are dropped, the rows are brought in line and every
    // slot logs in again with what its fields hold.
    void afterWholeFileLoad();

    // The button actions, for client view n.
    void logIn(int n);
    void logOut(int n);
    bool applyChanges(int n);

    // The address of the client of view n, for the log and the failed-login throttle; without
    // it every client counts as one unknown address, which is not throttled.
    std::function<std::string(int view)> clientAddress;

    UserAccounts accounts;
    LoginThrottle throttle;
    AccountRows rows;
    LoginTable logins;

private:
    void accountRowsChanged();

    params::ButtonFunction logInAction;
    params::ButtonFunction logOutAction;
    params::ButtonFunction applyAction;
    params::PListManager::RowOperations accountListOperations;
};

}  // namespace kestrava::model
