#include "model/UserAccounts.h"

#include "model/AccountView.h"

#include <cstdio>

namespace kestrava::model {

namespace {

std::string first64(const std::string& s) { return s.substr(0, UserAccounts::passwordLength); }

void initialAccount(UserAccount& a, int row) {
    a.enabled = OldNew<bool>(false, row == 0);
    a.userName.init(row == 0 ? "Admin" : "");
    a.passwordHash.init("");
    a.passwordRepeat.clear();
    a.adminAccess.init(row == 0 ? accessModify : accessHide);
    a.settingsAccess.init(accessModify);
}

}  // namespace

bool UserAccount::hasPendingChanges(bool withEnabled) const {
    return (withEnabled && enabled.isChanged()) || adminAccess.isChanged() || settingsAccess.isChanged();
}

UserAccounts::UserAccounts() {
    for (int i = 0; i < accountCount; ++i) initialAccount(accounts[static_cast<std::size_t>(i)], i);
}

bool UserAccounts::commitAccounts(AccountView& view) {
    const UserAccount& admin = accounts[0];
    if (protectionOn.newValue && first64(admin.passwordHash.pending()) != first64(admin.passwordRepeat)) {
        std::fputs("Tried to accept an admin password that didn't pass the check - this should not be possible\n",
                   stderr);
        return false;
    }
    protectionOn.accept();
    excludeNative.accept();
    if (protectionOn.oldValue) {
        for (UserAccount& a : accounts) {
            a.enabled.accept();
            a.userName.accept();
            // An empty pending password keeps the old one.
            if (!a.passwordHash.pending().empty()) {
                a.passwordHash.accept();
                a.passwordHash.setNew("");
            }
            a.passwordRepeat.clear();
            a.adminAccess.accept();
            a.settingsAccess.accept();
        }
    } else {
        discardAccountEdits();
    }
    view.accountsCommitted(*this);
    return true;
}

void UserAccounts::discardAccountEdits() {
    for (int i = 0; i < accountCount; ++i) {
        UserAccount& a = accounts[static_cast<std::size_t>(i)];
        if (i > 0) a.enabled.revert();
        a.userName.revert();
        a.passwordHash.setNew("");
        a.passwordRepeat.clear();
        a.adminAccess.revert();
        a.settingsAccess.revert();
    }
}

void UserAccounts::revertAccountEdits() {
    protectionOn.revert();
    excludeNative.revert();
    discardAccountEdits();
}

void UserAccounts::resetAccount(int row) {
    if (validIndex(row)) initialAccount(accounts[static_cast<std::size_t>(row)], row);
}

void UserAccounts::moveAccount(int from, int to) {
    if (!validIndex(from) || !validIndex(to) || from == to) return;
    accounts[static_cast<std::size_t>(to)] = accounts[static_cast<std::size_t>(from)];
    // The administrator's slot stays pending-enabled whatever moves into it.
    if (to == 0) accounts[0].enabled.newValue = true;
}

void UserAccounts::checkAccountRow(int i, AccountView& view) {
    if (!validIndex(i)) return;
    UserAccount& a = accounts[static_cast<std::size_t>(i)];
    if (!(protectionOn.newValue && a.enabled.newValue)) {
        view.setErrorMark(MarkedField::accountUserName, i, false);
        view.setErrorMark(MarkedField::accountPassword, i, false);
        view.setErrorMark(MarkedField::accountPasswordRepeat, i, false);
        return;
    }
    const std::string name = OldNew_cstr<32>::fit(a.userName.pending());
    bool nameWrong = name.empty();
    // Account 0 is never the duplicate: another account that takes its name is.
    if (!nameWrong && i != 0) {
        for (int k = 0; k < accountCount; ++k) {
            const UserAccount& other = accounts[static_cast<std::size_t>(k)];
            if (k != i && other.enabled.newValue && OldNew_cstr<32>::fit(other.userName.pending()) == name) {
                nameWrong = true;
                break;
            }
        }
    }
    view.setErrorMark(MarkedField::accountUserName, i, nameWrong);
    const bool passwordWrong =
        !a.passwordRepeat.empty() && first64(a.passwordHash.pending()) != first64(a.passwordRepeat);
    view.setErrorMark(MarkedField::accountPassword, i, passwordWrong);
    view.setErrorMark(MarkedField::accountPasswordRepeat, i, passwordWrong);

    const bool otherChanges = a.userName.isChanged() ||
                              (a.passwordHash.isChanged() && !a.passwordHash.pending().empty()) ||
                              a.hasPendingChanges(false);
    if (!otherChanges && a.enabled.newValue && !a.passwordHash.committed().empty() && !a.enabled.oldValue) {
        a.enabled.accept();
        view.committedEnabledChanged(i, a.enabled.oldValue);
        view.settingsPending();
    }
}

}  // namespace kestrava::model
