#include "AccountFixture.h"
#include "model/AccountChanges.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using kestrava::model::applyAccountChanges;
using kestrava::model::passwordDigest;
using Field = kestrava::model::MarkedField;

class ApplyAccounts : public AccountFixture, public testing::Test {
protected:
    void newPassword(int i, const std::string& password) {
        auto& a = accounts.accounts[static_cast<std::size_t>(i)];
        a.passwordHash.setNew(passwordDigest(a.userName.pending(), password));
        a.passwordRepeat = a.passwordHash.pending();
    }
    bool apply(int n) { return applyAccountChanges(accounts, logins, view, n); }
    // Protection on, Admin (full rights, password "secret") and ops (admin access 1) committed.
    void twoAccounts() {
        protect(true);
        addAccount(0, "Admin", "secret", 3, 3);
        addAccount(1, "ops", "pw", 1, 3);
    }
};

TEST_F(ApplyAccounts, FirstUseSwitchesTheProtectionOnAndLogsTheClientIn) {
    accounts.protectionOn.newValue = true;
    newPassword(0, "secret");
    type(7, "Admin", "secret");
    ASSERT_TRUE(apply(7));
    EXPECT_TRUE(accounts.protectionOn.oldValue);
    EXPECT_TRUE(accounts.accounts[0].enabled.oldValue);
    EXPECT_TRUE(logins.loggedIn[7]);
    EXPECT_EQ(logins.viewRights[7], 0x407);
    EXPECT_EQ(logins.editRights[7], 0x407);
    EXPECT_EQ(logins.viewRights[8], 2);
    EXPECT_EQ(logins.viewRights[0], -1);
    EXPECT_EQ(view.commits, 1);
    EXPECT_GE(view.pending, 1);  // the settings file must follow

    // After a restart the committed digest logs the same user in.
    kestrava::model::LoginTable again(accounts, view);
    type(again, 3, "Admin", "secret");
    EXPECT_EQ(again.logIn(3), kestrava::model::LoginTable::Outcome::loggedIn);
}

TEST_F(ApplyAccounts, FirstUseRefusesAWrongTypedPasswordAndAnEmptyOne) {
    accounts.protectionOn.newValue = true;
    newPassword(0, "secret");
    type(7, "Admin", "other");
    EXPECT_FALSE(apply(7));
    EXPECT_TRUE(view.marked(Field::loginPassword, 7));
    EXPECT_FALSE(view.marked(Field::loginUserName, 7));
    EXPECT_FALSE(accounts.protectionOn.oldValue);
    EXPECT_EQ(view.commits, 0);

    // No password at all: the administrator could never log in again.
    RecordingAccountView fresh;
    kestrava::model::UserAccounts t;
    kestrava::model::LoginTable l(t, fresh);
    t.protectionOn.newValue = true;
    l.setTypedUserName(7, "Admin");
    l.setTypedPasswordDigest(7, "");
    EXPECT_FALSE(applyAccountChanges(t, l, fresh, 7));
    EXPECT_TRUE(fresh.marked(Field::accountPassword, 0));
    EXPECT_FALSE(t.protectionOn.oldValue);
}

TEST_F(ApplyAccounts, RightsDecideWhoMayApplyWhat) {
    twoAccounts();
    // ops may change its own password.
    newPassword(1, "new");
    type(4, "ops", "pw");
    ASSERT_TRUE(apply(4));
    EXPECT_EQ(accounts.accounts[1].passwordHash.committed(), passwordDigest("ops", "new"));

    // But not enable another account.
    addAccount(5, "guest", "g", 0, 1);
    accounts.accounts[5].enabled.init(false);
    accounts.accounts[5].enabled.newValue = true;
    type(4, "ops", "new");
    EXPECT_FALSE(apply(4));
    EXPECT_TRUE(view.issueShown(4));
    EXPECT_FALSE(accounts.accounts[5].enabled.oldValue);
    accounts.accounts[5].enabled.revert();
    type(4, "ops", "new");
    EXPECT_TRUE(apply(4));
    EXPECT_FALSE(view.issueShown(4));

    // The administrator may.
    accounts.accounts[5].enabled.newValue = true;
    type(4, "Admin", "secret");
    EXPECT_TRUE(apply(4));
    EXPECT_TRUE(accounts.accounts[5].enabled.oldValue);
}

TEST_F(ApplyAccounts, TheTableIsCheckedAsAWhole) {
    twoAccounts();
    accounts.accounts[3].enabled.newValue = true;
    accounts.accounts[3].userName.setNew("ops");
    newPassword(3, "x");
    accounts.accounts[2].enabled.newValue = true;
    accounts.accounts[2].userName.setNew("mismatch");
    accounts.accounts[2].passwordHash.setNew(passwordDigest("mismatch", "a"));
    accounts.accounts[2].passwordRepeat = passwordDigest("mismatch", "b");
    type(4, "Admin", "secret");
    EXPECT_FALSE(apply(4));
    EXPECT_TRUE(view.marked(Field::accountUserName, 1));
    EXPECT_TRUE(view.marked(Field::accountUserName, 3));
    EXPECT_TRUE(view.marked(Field::accountPassword, 2));
    EXPECT_TRUE(view.marked(Field::accountPasswordRepeat, 2));
    EXPECT_EQ(view.commits, 0);

    accounts.accounts[3].userName.setNew("ops3");
    newPassword(3, "x");
    accounts.accounts[2].passwordRepeat = accounts.accounts[2].passwordHash.pending();
    type(4, "Admin", "secret");
    EXPECT_TRUE(apply(4));
    EXPECT_FALSE(view.marked(Field::accountUserName, 1));
    EXPECT_EQ(accounts.accounts[3].userName.committed(), "ops3");
}

TEST_F(ApplyAccounts, EnabledAccountsNeedAPasswordAndARenameNeedsANewOne) {
    twoAccounts();
    accounts.accounts[6].enabled.newValue = true;
    accounts.accounts[6].userName.setNew("nopass");
    type(4, "Admin", "secret");
    EXPECT_FALSE(apply(4));
    EXPECT_TRUE(view.marked(Field::accountPassword, 6));
    accounts.accounts[6].enabled.revert();

    // The stored digest was formed with the old name: the renamed account could not log in.
    accounts.accounts[1].userName.setNew("operator");
    type(4, "Admin", "secret");
    EXPECT_FALSE(apply(4));
    EXPECT_TRUE(view.marked(Field::accountPassword, 1));
    EXPECT_EQ(accounts.accounts[1].userName.committed(), "ops");
    newPassword(1, "pw2");
    type(4, "Admin", "secret");
    ASSERT_TRUE(apply(4));
    type(9, "operator", "pw2");
    EXPECT_EQ(logins.logIn(9), kestrava::model::LoginTable::Outcome::loggedIn);
}

TEST_F(ApplyAccounts, CommittedChangesReachEveryLoggedInSlot) {
    twoAccounts();
    type(4, "ops", "pw");
    logins.logIn(4);
    ASSERT_TRUE(logins.loggedIn[4]);
    accounts.accounts[1].enabled.newValue = false;
    type(5, "Admin", "secret");
    ASSERT_TRUE(apply(5));
    EXPECT_FALSE(logins.loggedIn[4]);
    EXPECT_EQ(logins.viewRights[4], 2);

    accounts.protectionOn.newValue = false;
    type(5, "Admin", "secret");
    ASSERT_TRUE(apply(5));
    for (int s = 0; s < kestrava::model::LoginTable::slotCount; ++s) {
        EXPECT_EQ(logins.viewRights[static_cast<std::size_t>(s)], -1);
        EXPECT_EQ(logins.editRights[static_cast<std::size_t>(s)], -1);
    }
}

TEST_F(ApplyAccounts, AnEmptyTypedPasswordNeverIdentifies) {
    twoAccounts();
    accounts.accounts[1].enabled.newValue = false;
    logins.setTypedUserName(6, "");
    logins.setTypedPasswordDigest(6, "");
    EXPECT_FALSE(apply(6));  // accounts 2..9 have the empty name
    EXPECT_TRUE(view.marked(Field::loginPassword, 6));
    EXPECT_FALSE(view.marked(Field::loginUserName, 6));
    EXPECT_EQ(view.commits, 0);
    type(6, "nobody", "x");
    EXPECT_FALSE(apply(6));
    EXPECT_TRUE(view.marked(Field::loginUserName, 6));
    EXPECT_FALSE(apply(31));
}

}  // namespace
