#include "model/InstanceAccounts.h"

#include "model/AccountChanges.h"
#include "params/Param.h"
#include "settings/TreeSources.h"

namespace kestrava::model {

namespace {

settings::AccountSide side(const UserAccount& a, bool pending) {
    settings::AccountSide s;
    s.enabled = pending ? a.enabled.newValue : a.enabled.oldValue;
    s.userName = pending ? a.userName.pending() : a.userName.committed();
    s.passwordHash = pending ? a.passwordHash.pending() : a.passwordHash.committed();
    s.adminAccess = pending ? a.adminAccess.newValue : a.adminAccess.oldValue;
    s.settingsAccess = pending ? a.settingsAccess.newValue : a.settingsAccess.oldValue;
    return s;
}

// The rows of account j: five committed ones and seven pending ones (with the rights heading).
constexpr ParamId accountRowFamilies[] = {
    PARAM_PASSWORD_PROTECTIONON_0,
    PARAM_PASSWORD_USERNAME_0,
    PARAM_PASSWORD_STRING_0,
    PARAM_PASSWORD_PROTECTION_MASK_ADMIN_0,
    PARAM_PASSWORD_PROTECTION_MASK_QUICK_0,
    NOSAVEPARAM_PASSWORD_PROTECTIONON_0,
    NOSAVEPARAM_PASSWORD_USERNAME_0,
    NOSAVEPARAM_PASSWORD_STRING_0,
    NOSAVEPARAM_PASSWORD2_STRING_0,
    ID_OPEN_PASSWORD_PROTECTION_MASKS_0,
    NOSAVEPARAM_PASSWORD_PROTECTION_MASK_ADMIN_0,
    NOSAVEPARAM_PASSWORD_PROTECTION_MASK_QUICK_0,
};

}  // namespace

InstanceAccounts::InstanceAccounts(params::ParamTable& table, KestravaLogger::Logger* logger,
                                   const SystemClock& clock)
    : throttle(clock), rows(table), logins(accounts, rows, logger, &throttle) {
    rows.attach(logins, accounts);
    logInAction = params::ButtonFunction([this](int n) { logIn(n); });
    logOutAction = params::ButtonFunction([this](int n) { logOut(n); });
    applyAction = params::ButtonFunction([this](int n) { applyChanges(n); });
    accountListOperations.clearRow = [this](std::int64_t row) {
        rows.readPending(accounts);
        accounts.resetAccount(static_cast<int>(row));
        accountRowsChanged();
    };
    accountListOperations.moveRow = [this](std::int64_t from, std::int64_t to) {
        rows.readPending(accounts);
        accounts.moveAccount(static_cast<int>(from), static_cast<int>(to));
        accountRowsChanged();
    };
    accountListOperations.showRow = [&table](std::int64_t row, bool shown) {
        for (const ParamId first : accountRowFamilies) {
            if (params::Param* p = table.findParam(static_cast<ParamId>(first + row))) p->setShown(shown);
        }
    };
}

void InstanceAccounts::accountRowsChanged() {
    rows.accountsCommitted(accounts);
    rows.settingsPending();
}

void InstanceAccounts::fillSources(settings::TreeSources& sources) const {
    settings::AccountDefaults& d = sources.accounts;
    d.protectionOn = accounts.protectionOn.oldValue;
    d.pendingProtectionOn = accounts.protectionOn.newValue;
    for (int j = 0; j < UserAccounts::accountCount; ++j) {
        const auto i = static_cast<std::size_t>(j);
        d.committed[i] = side(accounts.accounts[i], false);
        d.pending[i] = side(accounts.accounts[i], true);
        d.passwordRepeat[i] = accounts.accounts[i].passwordRepeat;
    }
    d.activeAccountCount = accounts.activeAccountCount;
    for (int n = 0; n < LoginTable::slotCount; ++n) {
        const auto i = static_cast<std::size_t>(n);
        sources.logins[i].userNameEntry = logins.slots[i].userNameEntry.pending();
        sources.logins[i].passwordEntry = logins.slots[i].passwordEntry.pending();
        sources.logins[i].loggedInAs = logins.slots[i].loggedInAs;
        sources.logins[i].loggedIn = logins.loggedIn[i];
    }
    sources.logIn = &logInAction;
    sources.logOut = &logOutAction;
    sources.applyAccountChanges = &applyAction;
    sources.accountRows = accountListOperations;
}

void InstanceAccounts::afterWholeFileLoad() {
    rows.readCommitted(accounts);
    accounts.revertAccountEdits();
    rows.accountsCommitted(accounts);
    // The administrator's enabled flag is not saved: the account-row check switches an account
    // that has a password back on, as the walks do after the protection row changed.
    for (int j = 0; j < UserAccounts::accountCount; ++j) accounts.checkAccountRow(j, rows);
    for (int n = 0; n < LoginTable::slotCount; ++n) rows.readLoginFields(n, logins);
    logins.logInAll();
}

void InstanceAccounts::logIn(int n) {
    if (!LoginTable::validSlot(n)) return;
    rows.readLoginFields(n, logins);
    logins.logIn(n, clientAddress ? clientAddress(n) : std::string());
}

void InstanceAccounts::logOut(int n) { logins.logOut(n); }

bool InstanceAccounts::applyChanges(int n) {
    if (!LoginTable::validSlot(n)) return false;
    rows.readPending(accounts);
    rows.readLoginFields(n, logins);
    return applyAccountChanges(accounts, logins, rows, n);
}

}  // namespace kestrava::model
