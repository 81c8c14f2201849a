#pragma once

#include "model/AccountView.h"
#include "params/ParamTable.h"

#include <cstdint>
#include <functional>
#include <map>

namespace kestrava::model {

class LoginTable;
class UserAccounts;

// The account and login rows of the settings tree, found by identifier in the instance's table,
// as the accounts and logins see them: records into rows (committed and pending account sides,
// login fields, "Logged in as", error marks, the rights words of each view) and rows into
// records (what a client typed, what a loaded settings file holds).
class AccountRows final : public AccountView {
public:
    explicit AccountRows(params::ParamTable& table) : table(table) {}

    // The rights words and the protection state come from here; without them, rightsChanged
    // only re-derives the rows.
    void attach(const LoginTable& logins, const UserAccounts& userAccounts) {
        loginTable = &logins;
        accountTable = &userAccounts;
    }

    // Every row follows the rights words again (per-view visibility and editability) and the
    // enabled states are derived again; the owner of the rows knows them all.
    std::function<void()> rowsFollowRights;
    // Committed account data changed: mark the settings pending and wake the autosave.
    std::function<void()> onSettingsPending;

    // The committed rows into the committed sides (the protection switch and every account),
    // as a loaded settings file left them. Account 0 keeps its fixed name, state and access:
    // only its password is stored.
    void readCommitted(UserAccounts& accounts) const;
    // The pending rows (what the account administrator edited) into the pending sides.
    void readPending(UserAccounts& accounts) const;
    // The login fields of slot n into its pending entries.
    void readLoginFields(int n, LoginTable& logins) const;

    bool errorMark(MarkedField field, int index) const;

    void setErrorMark(MarkedField field, int index, bool marked) override;
    void showRightsIssue(int slot, bool shown) override;
    void accountsCommitted(const UserAccounts& accounts) override;
    void committedEnabledChanged(int account, bool enabled) override;
    void loginFieldsCleared(int slot) override;
    void loggedInAsChanged(int slot, const std::string& name) override;
    void rightsChanged(int slot) override;
    void settingsPending() override;

private:
    template <class P>
    P* row(ParamId first, int n) const;
    static ParamId markedRow(MarkedField field, int index);
    void showPageHeads(bool protection);

    params::ParamTable& table;
    const LoginTable* loginTable = nullptr;
    const UserAccounts* accountTable = nullptr;
    std::map<ParamId, bool> marks;
};

}  // namespace kestrava::model
