#include "model/LoginTable.h"

#include "logging/Logger.h"
#include "model/AccountView.h"
#include "model/LoginThrottle.h"
#include "model/PasswordDigest.h"

namespace kestrava::model {

std::string printableName(std::string_view text) {
    std::string out;
    for (const char c : text.substr(0, 32)) out.push_back(c >= 0x20 && c < 0x7f ? c : '?');
    return out;
}

LoginTable::LoginTable(const UserAccounts& accounts, AccountView& view, KestravaLogger::Logger* logger,
                       LoginThrottle* throttle)
    : accounts(accounts), view(view), logger(logger), throttle(throttle) {
    viewRights.fill(rightsAll);
    editRights.fill(rightsAll);
}

void LoginTable::setTypedUserName(int n, std::string_view text) {
    if (validSlot(n)) slots[static_cast<std::size_t>(n)].userNameEntry.setNew(text);
}

void LoginTable::setTypedPasswordDigest(int n, std::string_view digest) {
    if (validSlot(n)) slots[static_cast<std::size_t>(n)].passwordEntry.setNew(digest);
}

LoginTable::Outcome LoginTable::logIn(int n, std::string_view address) {
    if (!validSlot(n)) return Outcome::noAttempt;
    LoginSlot& slot = slots[static_cast<std::size_t>(n)];
    const std::string client(address);
    if (throttle != nullptr && !client.empty() && accounts.protectionOn.oldValue) {
        if (throttle->waitSeconds(client) > 0) {
            // Checked nothing: the typed password is dropped and the slot keeps its login.
            slot.passwordEntry.setNew("");
            view.setErrorMark(MarkedField::loginPassword, n, true);
            return Outcome::throttled;
        }
    }
    const std::string typedName = slot.userNameEntry.pending();
    slot.userNameEntry.accept();
    slot.passwordEntry.accept();
    const Outcome outcome = evaluateLogin(n);
    if (outcome == Outcome::unknownUser || outcome == Outcome::wrongPassword) {
        if (logger != nullptr) {
            logger->log(1, KestravaLogger::Warning, "Failed login as \"{}\" from {}: {}", printableName(typedName),
                        client.empty() ? std::string("an unknown address") : printableName(client),
                        outcome == Outcome::unknownUser ? "no such enabled user" : "wrong password");
        }
        if (throttle != nullptr && !client.empty() && throttle->recordFailure(client) && logger != nullptr) {
            logger->log(1, KestravaLogger::Warning, "Too many failed logins from {}: further attempts must wait {} s",
                        printableName(client), throttle->waitSeconds(client));
        }
    } else if (outcome == Outcome::loggedIn && throttle != nullptr && !client.empty()) {
        throttle->recordSuccess(client);
    }
    return outcome;
}

void LoginTable::logOut(int n) {
    if (!validSlot(n)) return;
    LoginSlot& slot = slots[static_cast<std::size_t>(n)];
    clearLoginFields(n);
    slot.userNameEntry.setOld("");
    slot.passwordEntry.setOld("");
    evaluateLogin(n);
}

void LoginTable::clearLoginFields(int n) {
    if (!validSlot(n)) return;
    LoginSlot& slot = slots[static_cast<std::size_t>(n)];
    slot.userNameEntry.setNew("");
    slot.passwordEntry.setNew("");
    view.setErrorMark(MarkedField::loginUserName, n, false);
    view.setErrorMark(MarkedField::loginPassword, n, false);
    view.loginFieldsCleared(n);
}

LoginTable::Outcome LoginTable::evaluateLogin(int n) {
    if (!validSlot(n)) return Outcome::noAttempt;
    const auto s = static_cast<std::size_t>(n);
    LoginSlot& slot = slots[s];
    slot.loggedInAs.clear();
    const bool protection = accounts.protectionOn.oldValue;
    bool in = false;
    std::int32_t viewWord = protection ? rightsEveryClient : rightsAll;
    std::int32_t editWord = viewWord;
    Outcome outcome = Outcome::noAttempt;

    if (n == nativeSlot && accounts.excludeNative.oldValue) {
        in = true;
        viewWord = editWord = rightsAll;
    } else if (protection && n != sessionlessSlot && !slot.userNameEntry.committed().empty()) {
        const UserAccount* found = nullptr;
        for (const UserAccount& a : accounts.accounts) {
            if (a.enabled.oldValue && OldNew_cstr<32>::fit(a.userName.committed()) == slot.userNameEntry.committed()) {
                found = &a;
                break;
            }
        }
        if (found == nullptr) {
            view.setErrorMark(MarkedField::loginUserName, n, true);
            outcome = Outcome::unknownUser;
        } else if (!digestsMatch(found->passwordHash.committed().substr(0, UserAccounts::passwordLength),
                                 slot.passwordEntry.committed())) {
            // An account without a password cannot be logged into.
            view.setErrorMark(MarkedField::loginPassword, n, true);
            view.setErrorMark(MarkedField::loginUserName, n, false);
            outcome = Outcome::wrongPassword;
        } else {
            const std::int32_t admin = found->adminAccess.oldValue;
            const std::int32_t settings = found->settingsAccess.oldValue;
            if (admin & 1) viewWord |= rightsAdmin;
            if (settings & 1) viewWord |= rightsSettings;
            if (admin & 2) editWord |= rightsAdmin;
            if (settings & 2) editWord |= rightsSettings;
            slot.loggedInAs = OldNew_cstr<32>::fit(found->userName.committed());
            clearLoginFields(n);
            in = true;
            view.setErrorMark(MarkedField::loginUserName, n, false);
            outcome = Outcome::loggedIn;
        }
    }
    view.loggedInAsChanged(n, slot.loggedInAs);
    loggedIn[s] = in;
    viewRights[s] = viewWord;
    editRights[s] = editWord;
    view.rightsChanged(n);
    return outcome;
}

void LoginTable::logInAll() {
    for (int n = 0; n < slotCount; ++n) {
        LoginSlot& slot = slots[static_cast<std::size_t>(n)];
        slot.userNameEntry.accept();
        slot.passwordEntry.accept();
        evaluateLogin(n);
    }
}

}  // namespace kestrava::model
