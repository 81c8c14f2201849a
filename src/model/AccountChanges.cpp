#include "model/AccountChanges.h"

#include "model/AccountView.h"
#include "model/LoginTable.h"
#include "model/PasswordDigest.h"
#include "model/UserAccounts.h"

namespace kestrava::model {

namespace {

std::string name32(const std::string& s) { return OldNew_cstr<32>::fit(s); }
std::string hash64(const std::string& s) { return s.substr(0, UserAccounts::passwordLength); }

void markPassword(AccountView& view, int i) {
    view.setErrorMark(MarkedField::accountPassword, i, true);
    view.setErrorMark(MarkedField::accountPasswordRepeat, i, true);
}

}  // namespace

bool mayApplyPendingChanges(const UserAccounts& accounts, int index) {
    const UserAccount& self = accounts.accounts[static_cast<std::size_t>(index)];
    if (self.adminAccess.oldValue == accessModify) return true;
    if (accounts.protectionOn.isChanged() || accounts.excludeNative.isChanged()) return false;
    if (self.enabled.isChanged() || self.adminAccess.isChanged() || self.settingsAccess.isChanged()) return false;
    for (int j = 0; j < UserAccounts::accountCount; ++j) {
        if (j == index) continue;
        const UserAccount& b = accounts.accounts[static_cast<std::size_t>(j)];
        if (b.enabled.isChanged() || b.userName.isChanged() ||
            (b.passwordHash.isChanged() && !b.passwordHash.pending().empty()) || b.hasPendingChanges(true)) {
            return false;
        }
    }
    return true;
}

bool applyAccountChanges(UserAccounts& accounts, LoginTable& logins, AccountView& view, int n) {
    if (!LoginTable::validSlot(n)) return false;
    LoginSlot& slot = logins.slots[static_cast<std::size_t>(n)];
    const std::string typedName = name32(slot.userNameEntry.pending());
    const std::string typedHash = hash64(slot.passwordEntry.pending());
    const bool protectionAfter = accounts.protectionOn.newValue;
    bool ok = true;
    bool found = false;

    for (int i = 0; i < UserAccounts::accountCount; ++i) {
        if (accounts.accounts[static_cast<std::size_t>(i)].enabled.newValue) {
            view.setErrorMark(MarkedField::accountUserName, i, false);
        }
    }
    for (int i = 0; i < UserAccounts::accountCount; ++i) {
        const UserAccount& a = accounts.accounts[static_cast<std::size_t>(i)];
        if (a.enabled.newValue) {
            for (int j = i + 1; j < UserAccounts::accountCount; ++j) {
                const UserAccount& b = accounts.accounts[static_cast<std::size_t>(j)];
                if (b.enabled.newValue && name32(b.userName.pending()) == name32(a.userName.pending())) {
                    view.setErrorMark(MarkedField::accountUserName, i, true);
                    view.setErrorMark(MarkedField::accountUserName, j, true);
                    ok = false;
                }
            }
            if (hash64(a.passwordHash.pending()) != hash64(a.passwordRepeat)) {
                markPassword(view, i);
                ok = false;
            } else if (protectionAfter) {
                // Logging into an account without a password is impossible, and the stored digest
                // is formed with the user name: a renamed account needs its password typed anew.
                const bool noPassword = a.passwordHash.pending().empty() && a.passwordHash.committed().empty();
                const bool renamedWithoutPassword = a.userName.isChanged() && a.passwordHash.pending().empty();
                if (noPassword || renamedWithoutPassword) {
                    markPassword(view, i);
                    ok = false;
                }
            }
        }
        if (name32(a.userName.pending()) == typedName) {
            const bool matches =
                digestsMatch(hash64(a.passwordHash.committed()), typedHash) ||
                (!accounts.protectionOn.oldValue && digestsMatch(hash64(a.passwordHash.pending()), typedHash));
            view.setErrorMark(MarkedField::loginPassword, n, !matches);
            found = true;
            if (!matches) {
                ok = false;
                continue;
            }
            const bool may = mayApplyPendingChanges(accounts, i);
            view.showRightsIssue(n, !may);
            if (!may) ok = false;
        }
    }
    view.setErrorMark(MarkedField::loginUserName, n, !found);
    if (!found || !ok) return false;

    const bool switchingOn = !accounts.protectionOn.oldValue && accounts.protectionOn.newValue;
    if (!accounts.commitAccounts(view)) return false;
    for (int s = 0; s < LoginTable::slotCount; ++s) {
        LoginSlot& other = logins.slots[static_cast<std::size_t>(s)];
        if (s == n && switchingOn) {
            other.userNameEntry.accept();
            other.passwordEntry.accept();
        }
        logins.evaluateLogin(s);
        logins.clearLoginFields(s);
    }
    view.settingsPending();
    return true;
}

}  // namespace kestrava::model
