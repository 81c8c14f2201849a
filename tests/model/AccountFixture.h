#pragma once

#include "RecordingAccountView.h"
#include "model/LoginTable.h"
#include "model/PasswordDigest.h"
#include "model/UserAccounts.h"

#include <string>

// A committed account table (the state after a settings file was loaded) and the login slots.
struct AccountFixture {
    kestrava::model::UserAccounts accounts;
    RecordingAccountView view;
    kestrava::model::LoginTable logins{accounts, view};

    void protect(bool on) { accounts.protectionOn.init(on); }
    // A committed, enabled account, as a loaded settings file leaves it.
    void addAccount(int i, const std::string& name, const std::string& password, int admin, int settings) {
        auto& a = accounts.accounts[static_cast<std::size_t>(i)];
        a.enabled.init(true);
        a.userName.init(name);
        a.passwordHash.init(kestrava::model::passwordDigest(name, password));
        a.passwordHash.setNew("");  // the pending password rows start empty
        a.passwordRepeat.clear();
        a.adminAccess.init(admin);
        a.settingsAccess.init(settings);
    }
    // What the client types into slot n's login fields (the client hashes the password).
    static void type(kestrava::model::LoginTable& t, int n, const std::string& name, const std::string& password) {
        t.setTypedUserName(n, name);
        t.setTypedPasswordDigest(n, kestrava::model::passwordDigest(name, password));
    }
    void type(int n, const std::string& name, const std::string& password) { type(logins, n, name, password); }
};
