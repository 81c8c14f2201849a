#include "model/AccountRows.h"

#include "model/LoginTable.h"
#include "model/UserAccounts.h"
#include "params/PBool.h"
#include "params/PEnum.h"
#include "params/PString.h"

namespace kestrava::model {

using params::PBool;
using params::PEnum;
using params::Param;
using params::PString;

namespace {

ParamId nth(ParamId first, int n) { return static_cast<ParamId>(first + n); }

// A changed mark redraws the row in every client view; index 30 ("changed somewhere") keeps its state.
constexpr std::uint32_t clientViewBits = (1u << params::anyView) - 1u;

}  // namespace

template <class P>
P* AccountRows::row(ParamId first, int n) const {
    return dynamic_cast<P*>(table.findParam(nth(first, n)));
}

ParamId AccountRows::markedRow(MarkedField field, int index) {
    switch (field) {
        case MarkedField::accountUserName: return nth(NOSAVEPARAM_PASSWORD_USERNAME_0, index);
        case MarkedField::accountPassword: return nth(NOSAVEPARAM_PASSWORD_STRING_0, index);
        case MarkedField::accountPasswordRepeat: return nth(NOSAVEPARAM_PASSWORD2_STRING_0, index);
        case MarkedField::loginUserName: return nth(NOSAVEPARAM_USERNAME2_0, index);
        case MarkedField::loginPassword: return nth(NOSAVEPARAM_PASSWORD2_0, index);
    }
    return ID_NONE;
}

void AccountRows::readCommitted(UserAccounts& accounts) const {
    if (const auto* on = row<PBool>(PARAM_PASSWORD_PROTECTIONON_ANY, 0)) accounts.protectionOn.oldValue = on->current();
    for (int j = 0; j < UserAccounts::accountCount; ++j) {
        UserAccount& a = accounts.accounts[static_cast<std::size_t>(j)];
        if (const auto* p = row<PString>(PARAM_PASSWORD_STRING_0, j)) a.passwordHash.setOld(p->current());
        if (j == 0) continue;
        if (const auto* p = row<PBool>(PARAM_PASSWORD_PROTECTIONON_0, j)) a.enabled.oldValue = p->current();
        if (const auto* p = row<PString>(PARAM_PASSWORD_USERNAME_0, j)) a.userName.setOld(p->current());
        if (const auto* p = row<PEnum>(PARAM_PASSWORD_PROTECTION_MASK_ADMIN_0, j)) a.adminAccess.oldValue = p->current();
        if (const auto* p = row<PEnum>(PARAM_PASSWORD_PROTECTION_MASK_QUICK_0, j)) {
            a.settingsAccess.oldValue = p->current();
        }
    }
}

void AccountRows::readPending(UserAccounts& accounts) const {
    if (const auto* on = row<PBool>(NOSAVEPARAM_PASSWORD_PROTECTIONON_ANY, 0)) {
        accounts.protectionOn.newValue = on->current();
    }
    for (int j = 0; j < UserAccounts::accountCount; ++j) {
        UserAccount& a = accounts.accounts[static_cast<std::size_t>(j)];
        if (const auto* p = row<PBool>(NOSAVEPARAM_PASSWORD_PROTECTIONON_0, j)) a.enabled.newValue = p->current();
        if (const auto* p = row<PString>(NOSAVEPARAM_PASSWORD_USERNAME_0, j)) a.userName.setNew(p->current());
        if (const auto* p = row<PString>(NOSAVEPARAM_PASSWORD_STRING_0, j)) a.passwordHash.setNew(p->current());
        if (const auto* p = row<PString>(NOSAVEPARAM_PASSWORD2_STRING_0, j)) a.passwordRepeat = p->current();
        if (const auto* p = row<PEnum>(NOSAVEPARAM_PASSWORD_PROTECTION_MASK_ADMIN_0, j)) {
            a.adminAccess.newValue = p->current();
        }
        if (const auto* p = row<PEnum>(NOSAVEPARAM_PASSWORD_PROTECTION_MASK_QUICK_0, j)) {
            a.settingsAccess.newValue = p->current();
        }
    }
}

void AccountRows::readLoginFields(int n, LoginTable& logins) const {
    if (!LoginTable::validSlot(n)) return;
    if (const auto* p = row<PString>(NOSAVEPARAM_USERNAME2_0, n)) logins.setTypedUserName(n, p->current());
    if (const auto* p = row<PString>(NOSAVEPARAM_PASSWORD2_0, n)) logins.setTypedPasswordDigest(n, p->current());
}

bool AccountRows::errorMark(MarkedField field, int index) const {
    const auto it = marks.find(markedRow(field, index));
    return it != marks.end() && it->second;
}

void AccountRows::setErrorMark(MarkedField field, int index, bool marked) {
    const ParamId id = markedRow(field, index);
    bool& mark = marks[id];
    if (mark == marked) return;
    mark = marked;
    if (Param* p = table.findParam(id)) {
        p->valueChanged.raise(clientViewBits);
        p->markChanged();
    }
}

void AccountRows::showRightsIssue(int slot, bool shown) {
    if (Param* p = table.findParam(nth(NOSAVEPARAM_RIGHTS_ISSUE_0, slot))) p->setShown(shown);
}

void AccountRows::showPageHeads(bool protection) {
    if (Param* p = table.findParam(ID_OPEN_ACCOUNT)) p->setShown(protection);
    if (Param* p = table.findParam(ID_OPEN_PASSWORD_INFO)) p->setShown(!protection);
    if (Param* p = table.findParam(ID_OPEN_ACCOUNT_TEXT)) p->setShown(!protection);
}

void AccountRows::accountsCommitted(const UserAccounts& accounts) {
    if (auto* p = row<PBool>(PARAM_PASSWORD_PROTECTIONON_ANY, 0)) p->setValue(accounts.protectionOn.oldValue);
    if (auto* p = row<PBool>(NOSAVEPARAM_PASSWORD_PROTECTIONON_ANY, 0)) p->setValue(accounts.protectionOn.newValue);
    for (int j = 0; j < UserAccounts::accountCount; ++j) {
        const UserAccount& a = accounts.accounts[static_cast<std::size_t>(j)];
        if (auto* p = row<PBool>(PARAM_PASSWORD_PROTECTIONON_0, j)) p->setValue(a.enabled.oldValue);
        // A changed user name empties the passwords hashed with it: the name goes first.
        if (auto* p = row<PString>(PARAM_PASSWORD_USERNAME_0, j)) p->setValue(a.userName.committed());
        if (auto* p = row<PString>(PARAM_PASSWORD_STRING_0, j)) p->setValue(a.passwordHash.committed());
        if (auto* p = row<PEnum>(PARAM_PASSWORD_PROTECTION_MASK_ADMIN_0, j)) p->setValue(a.adminAccess.oldValue);
        if (auto* p = row<PEnum>(PARAM_PASSWORD_PROTECTION_MASK_QUICK_0, j)) p->setValue(a.settingsAccess.oldValue);
        if (auto* p = row<PBool>(NOSAVEPARAM_PASSWORD_PROTECTIONON_0, j)) p->setValue(a.enabled.newValue);
        if (auto* p = row<PString>(NOSAVEPARAM_PASSWORD_USERNAME_0, j)) p->setValue(a.userName.pending());
        if (auto* p = row<PString>(NOSAVEPARAM_PASSWORD_STRING_0, j)) p->setValue(a.passwordHash.pending());
        if (auto* p = row<PString>(NOSAVEPARAM_PASSWORD2_STRING_0, j)) p->setValue(a.passwordRepeat);
        if (auto* p = row<PEnum>(NOSAVEPARAM_PASSWORD_PROTECTION_MASK_ADMIN_0, j)) p->setValue(a.adminAccess.newValue);
        if (auto* p = row<PEnum>(NOSAVEPARAM_PASSWORD_PROTECTION_MASK_QUICK_0, j)) {
            p->setValue(a.settingsAccess.newValue);
        }
    }
    showPageHeads(accounts.protectionOn.oldValue);
}

void AccountRows::committedEnabledChanged(int account, bool enabled) {
    if (auto* p = row<PBool>(PARAM_PASSWORD_PROTECTIONON_0, account)) p->setValue(enabled);
}

void AccountRows::loginFieldsCleared(int slot) {
    if (auto* p = row<PString>(NOSAVEPARAM_USERNAME2_0, slot)) p->setValue("");
    if (auto* p = row<PString>(NOSAVEPARAM_PASSWORD2_0, slot)) p->setValue("");
}

void AccountRows::loggedInAsChanged(int slot, const std::string& name) {
    if (auto* p = row<PString>(NOPARAM_LoggedInAs_0, slot)) p->setValue(name);
}

void AccountRows::rightsChanged(int slot) {
    if (loginTable != nullptr && LoginTable::validSlot(slot)) {
        const auto s = static_cast<std::size_t>(slot);
        table.setRights(slot, static_cast<std::uint32_t>(loginTable->viewRights[s]),
                        static_cast<std::uint32_t>(loginTable->editRights[s]));
        // The slot's own page rows: the login form while logged out, who it is while logged in.
        // View 0 never logs in on the page.
        const bool protection = accountTable != nullptr && accountTable->protectionOn.oldValue;
        const bool in = loginTable->loggedIn[s];
        const bool form = slot >= 1 && protection && !in;
        const bool state = slot >= 1 && protection && in;
        for (ParamId first : {ID_OPEN_PASSWORD_LOGIN1_0, NOSAVEPARAM_PASSWORD_LOGIN2_0}) {
            if (Param* p = table.findParam(nth(first, slot))) p->setShown(form);
        }
        for (ParamId first : {ID_OPEN_PASSWORD_LOGOUT1_0, NOPARAM_LoggedInAs_0, NOSAVEPARAM_PASSWORD_LOGOUT2_0}) {
            if (Param* p = table.findParam(nth(first, slot))) p->setShown(state);
        }
    }
    if (rowsFollowRights) rowsFollowRights();
}

void AccountRows::settingsPending() {
    if (onSettingsPending) onSettingsPending();
}

}  // namespace kestrava::model
