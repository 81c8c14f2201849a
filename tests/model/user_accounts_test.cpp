#include "RecordingAccountView.h"
#include "model/PasswordDigest.h"
#include "model/UserAccounts.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using kestrava::model::passwordDigest;
using kestrava::model::UserAccount;
using kestrava::model::UserAccounts;
using Field = kestrava::model::MarkedField;

void setPassword(UserAccount& a, const std::string& password) {
    a.passwordHash.setNew(passwordDigest(a.userName.pending(), password));
    a.passwordRepeat = a.passwordHash.pending();
}

TEST(UserAccounts, StartsWithThePendingAdministratorOnly) {
    const UserAccounts t;
    EXPECT_FALSE(t.protectionOn.oldValue);
    EXPECT_FALSE(t.protectionOn.newValue);
    EXPECT_TRUE(t.excludeNative.oldValue);
    EXPECT_FALSE(t.accounts[0].enabled.oldValue);
    EXPECT_TRUE(t.accounts[0].enabled.newValue);
    EXPECT_EQ(t.accounts[0].userName.committed(), "Admin");
    EXPECT_EQ(t.accounts[0].adminAccess.oldValue, 3);
    for (int i = 1; i < UserAccounts::accountCount; ++i) {
        const UserAccount& a = t.accounts[static_cast<std::size_t>(i)];
        EXPECT_FALSE(a.enabled.newValue);
        EXPECT_EQ(a.userName.pending(), "");
        EXPECT_EQ(a.adminAccess.newValue, 0);
        EXPECT_EQ(a.settingsAccess.newValue, 3);
    }
}

TEST(UserAccounts, CommitSwitchingTheProtectionOnTakesTheNewPassword) {
    UserAccounts t;
    RecordingAccountView view;
    t.protectionOn.newValue = true;
    setPassword(t.accounts[0], "secret");
    const std::string digest = t.accounts[0].passwordHash.pending();
    ASSERT_TRUE(t.commitAccounts(view));
    EXPECT_TRUE(t.protectionOn.oldValue);
    EXPECT_TRUE(t.accounts[0].enabled.oldValue);
    EXPECT_EQ(t.accounts[0].passwordHash.committed(), digest);
    EXPECT_EQ(t.accounts[0].passwordHash.pending(), "");
    EXPECT_EQ(t.accounts[0].passwordRepeat, "");
    EXPECT_EQ(view.commits, 1);

    // An empty pending password keeps the old one.
    t.accounts[0].adminAccess.newValue = 3;
    ASSERT_TRUE(t.commitAccounts(view));
    EXPECT_EQ(t.accounts[0].passwordHash.committed(), digest);
}

TEST(UserAccounts, CommitWithTheProtectionOffThrowsAccountEditsAway) {
    UserAccounts t;
    RecordingAccountView view;
    t.accounts[3].enabled.newValue = true;
    t.accounts[3].userName.setNew("ops");
    t.accounts[3].adminAccess.newValue = 1;
    t.accounts[0].userName.setNew("Boss");
    setPassword(t.accounts[0], "x");
    ASSERT_TRUE(t.commitAccounts(view));
    EXPECT_FALSE(t.accounts[3].enabled.newValue);
    EXPECT_EQ(t.accounts[3].userName.pending(), "");
    EXPECT_EQ(t.accounts[3].adminAccess.newValue, 0);
    EXPECT_EQ(t.accounts[0].userName.pending(), "Admin");
    EXPECT_EQ(t.accounts[0].passwordHash.pending(), "");
    EXPECT_TRUE(t.accounts[0].enabled.newValue);  // account 0 stays pending-enabled
    EXPECT_FALSE(t.protectionOn.oldValue);
}

TEST(UserAccounts, CommitRefusesAnAdministratorPasswordThatDiffersFromItsRepeat) {
    UserAccounts t;
    RecordingAccountView view;
    t.protectionOn.newValue = true;
    t.accounts[0].passwordHash.setNew(passwordDigest("Admin", "a"));
    t.accounts[0].passwordRepeat = passwordDigest("Admin", "b");
    testing::internal::CaptureStderr();
    EXPECT_FALSE(t.commitAccounts(view));
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Tried to accept an admin password that didn't pass the check - this should not be possible\n");
    EXPECT_FALSE(t.protectionOn.oldValue);
    EXPECT_EQ(view.commits, 0);
}

TEST(UserAccounts, RevertDiscardsEditsAndRowOperationsKeepTheTable) {
    UserAccounts t;
    t.protectionOn.newValue = true;
    t.accounts[2].enabled.newValue = true;
    t.accounts[2].userName.setNew("ops");
    t.revertAccountEdits();
    EXPECT_FALSE(t.protectionOn.newValue);
    EXPECT_FALSE(t.accounts[2].enabled.newValue);
    EXPECT_EQ(t.accounts[2].userName.pending(), "");
    EXPECT_TRUE(t.accounts[0].enabled.newValue);

    t.accounts[5].userName.init("ops");
    t.accounts[5].enabled.init(true);
    t.accounts[5].adminAccess.init(1);
    t.moveAccount(5, 2);
    EXPECT_EQ(t.accounts[2].userName.committed(), "ops");
    EXPECT_TRUE(t.accounts[2].enabled.oldValue);
    t.resetAccount(2);
    EXPECT_EQ(t.accounts[2].userName.committed(), "");
    EXPECT_EQ(t.accounts[2].adminAccess.oldValue, 0);
    EXPECT_EQ(t.accounts[2].settingsAccess.oldValue, 3);
    t.accounts[0].userName.init("Changed");
    t.accounts[0].enabled.newValue = false;
    t.resetAccount(0);
    EXPECT_EQ(t.accounts[0].userName.pending(), "Admin");
    EXPECT_TRUE(t.accounts[0].enabled.newValue);
    t.moveAccount(5, 0);
    EXPECT_TRUE(t.accounts[0].enabled.newValue);
    t.moveAccount(-1, 3);  // outside the table: nothing happens
    t.resetAccount(10);

    UserAccount a;
    a.enabled.newValue = true;
    EXPECT_FALSE(a.hasPendingChanges(false));
    EXPECT_TRUE(a.hasPendingChanges(true));
}

TEST(UserAccounts, CheckAccountRowMarksDuplicatesAndMismatchedRepeats) {
    UserAccounts t;
    RecordingAccountView view;
    t.protectionOn.newValue = true;
    for (const int i : {2, 5}) {
        t.accounts[static_cast<std::size_t>(i)].enabled.newValue = true;
        t.accounts[static_cast<std::size_t>(i)].userName.setNew("ops");
    }
    t.checkAccountRow(2, view);
    t.checkAccountRow(5, view);
    EXPECT_TRUE(view.marked(Field::accountUserName, 2));
    EXPECT_TRUE(view.marked(Field::accountUserName, 5));
    t.accounts[5].userName.setNew("ops2");
    t.checkAccountRow(5, view);
    EXPECT_FALSE(view.marked(Field::accountUserName, 5));
    EXPECT_TRUE(view.marked(Field::accountUserName, 2));

    // Account 0 is never the duplicate; the other one carrying its name is.
    t.accounts[4].enabled.newValue = true;
    t.accounts[4].userName.setNew("Admin");
    t.checkAccountRow(4, view);
    t.checkAccountRow(0, view);
    EXPECT_TRUE(view.marked(Field::accountUserName, 4));
    EXPECT_FALSE(view.marked(Field::accountUserName, 0));

    // Password typed, repeat empty: no mark; repeat different: both marked; equal: cleared.
    UserAccount& a = t.accounts[2];
    a.passwordHash.setNew(passwordDigest("ops", "one"));
    t.checkAccountRow(2, view);
    EXPECT_FALSE(view.marked(Field::accountPassword, 2));
    a.passwordRepeat = passwordDigest("ops", "two");
    t.checkAccountRow(2, view);
    EXPECT_TRUE(view.marked(Field::accountPassword, 2));
    EXPECT_TRUE(view.marked(Field::accountPasswordRepeat, 2));
    a.passwordRepeat = a.passwordHash.pending();
    t.checkAccountRow(2, view);
    EXPECT_FALSE(view.marked(Field::accountPassword, 2));

    // Pending protection off clears every mark.
    a.passwordRepeat = "x";
    t.checkAccountRow(2, view);
    t.protectionOn.newValue = false;
    t.checkAccountRow(2, view);
    t.checkAccountRow(4, view);
    EXPECT_FALSE(view.marked(Field::accountPassword, 2));
    EXPECT_FALSE(view.marked(Field::accountUserName, 2));
    EXPECT_FALSE(view.marked(Field::accountUserName, 4));
}

TEST(UserAccounts, CheckAccountRowReEnablesAnAccountWithAPasswordAtOnce) {
    UserAccounts t;
    RecordingAccountView view;
    t.protectionOn.init(true);
    UserAccount& a = t.accounts[3];
    a.userName.init("ops");
    a.passwordHash.init(passwordDigest("ops", "pw"));
    a.passwordHash.setNew("");
    a.enabled.newValue = true;
    a.adminAccess.newValue = 1;  // another change pending: it waits for Apply
    t.checkAccountRow(3, view);
    EXPECT_FALSE(a.enabled.oldValue);
    a.adminAccess.revert();
    t.checkAccountRow(3, view);
    EXPECT_TRUE(a.enabled.oldValue);
    EXPECT_TRUE(view.enabledRows.at(3));
    EXPECT_EQ(view.pending, 1);

    // Without a committed password nothing is enabled.
    UserAccount& b = t.accounts[6];
    b.userName.init("new");
    b.enabled.newValue = true;
    t.checkAccountRow(6, view);
    EXPECT_FALSE(b.enabled.oldValue);
}

}  // namespace
