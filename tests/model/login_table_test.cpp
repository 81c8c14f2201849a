#include "AccountFixture.h"
#include "audio/soundcard/LogCapture.h"
#include "logging/Logger.h"
#include "model/LoginThrottle.h"
#include "support/TestClock.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using kestrava::model::LoginTable;
using kestrava::model::LoginThrottle;
using Field = kestrava::model::MarkedField;
using Outcome = LoginTable::Outcome;

class Logins : public AccountFixture, public testing::Test {};

TEST_F(Logins, RightsWordsFollowTheAccessLevels) {
    protect(true);
    const struct {
        int admin, settings;
        std::int32_t viewWord, editWord;
    } table[] = {{3, 3, 0x407, 0x407}, {0, 3, 0x406, 0x406}, {1, 1, 0x407, 0x002}, {3, 0, 0x403, 0x403},
                 {0, 0, 0x002, 0x002}};
    for (const auto& row : table) {
        addAccount(4, "ops", "pw", row.admin, row.settings);
        type(7, "ops", "pw");
        EXPECT_EQ(logins.logIn(7), Outcome::loggedIn);
        EXPECT_TRUE(logins.loggedIn[7]);
        EXPECT_EQ(logins.viewRights[7], row.viewWord) << row.admin << "/" << row.settings;
        EXPECT_EQ(logins.editRights[7], row.editWord) << row.admin << "/" << row.settings;
        EXPECT_EQ(view.loggedInAs[7], "ops");
        // The typed fields are emptied, the login stays.
        EXPECT_EQ(logins.slots[7].userNameEntry.pending(), "");
        EXPECT_EQ(logins.slots[7].userNameEntry.committed(), "ops");
        logins.logOut(7);
        EXPECT_FALSE(logins.loggedIn[7]);
        EXPECT_EQ(logins.viewRights[7], 2);
        EXPECT_EQ(logins.editRights[7], 2);
        EXPECT_EQ(view.loggedInAs[7], "");
    }
}

TEST_F(Logins, ProtectionOffGrantsEverythingAndSlotZeroIsExempt) {
    addAccount(1, "ops", "pw", 0, 0);
    type(5, "ops", "pw");
    logins.logIn(5);
    for (const int n : {0, 5, 29}) {
        logins.evaluateLogin(n);
        EXPECT_EQ(logins.viewRights[static_cast<std::size_t>(n)], -1);
        EXPECT_EQ(logins.editRights[static_cast<std::size_t>(n)], -1);
        EXPECT_EQ(logins.loggedIn[static_cast<std::size_t>(n)], n == 0);
    }
    protect(true);
    logins.evaluateLogin(0);
    EXPECT_TRUE(logins.loggedIn[0]);
    EXPECT_EQ(logins.editRights[0], -1);
    // Requests without a session never log in.
    type(29, "ops", "pw");
    EXPECT_EQ(logins.logIn(29), Outcome::noAttempt);
    EXPECT_EQ(logins.viewRights[29], 2);
    EXPECT_FALSE(logins.loggedIn[29]);
}

TEST_F(Logins, RefusalsMarkTheOffendingField) {
    protect(true);
    addAccount(2, "ops", "first", 3, 3);
    addAccount(6, "ops", "second", 3, 3);  // same name: only account 2 is tried
    accounts.accounts[8].userName.init("pending");
    accounts.accounts[8].enabled.newValue = true;  // enabled only on the pending side

    const struct {
        const char* name;
        const char* password;
        Outcome outcome;
        bool nameMark, passwordMark;
    } cases[] = {
        {"nobody", "first", Outcome::unknownUser, true, false},
        {"pending", "x", Outcome::unknownUser, true, false},
        {"ops", "second", Outcome::wrongPassword, false, true},
        {"OPS", "first", Outcome::unknownUser, true, true},  // names are case-sensitive
    };
    for (const auto& c : cases) {
        type(3, c.name, c.password);
        EXPECT_EQ(logins.logIn(3), c.outcome) << c.name;
        EXPECT_FALSE(logins.loggedIn[3]);
        EXPECT_EQ(logins.editRights[3], 2);
        EXPECT_EQ(view.marked(Field::loginUserName, 3), c.nameMark) << c.name;
        EXPECT_EQ(view.marked(Field::loginPassword, 3), c.passwordMark) << c.name;
    }
    type(3, "ops", "first");
    EXPECT_EQ(logins.logIn(3), Outcome::loggedIn);
    EXPECT_FALSE(view.marked(Field::loginUserName, 3));
    EXPECT_FALSE(view.marked(Field::loginPassword, 3));
}

TEST_F(Logins, AnAccountWithoutAPasswordCannotBeLoggedInto) {
    protect(true);
    addAccount(1, "ops", "", 3, 3);
    ASSERT_EQ(accounts.accounts[1].passwordHash.committed(), "");
    logins.setTypedUserName(4, "ops");
    logins.setTypedPasswordDigest(4, "");
    EXPECT_EQ(logins.logIn(4), Outcome::wrongPassword);
    EXPECT_FALSE(logins.loggedIn[4]);
    EXPECT_EQ(logins.viewRights[4], 2);
}

TEST_F(Logins, LoadingLogsEverySlotInAgainWithWhatItHolds) {
    protect(true);
    addAccount(0, "Admin", "secret", 3, 3);
    type(9, "Admin", "secret");
    logins.logInAll();
    EXPECT_TRUE(logins.loggedIn[9]);
    EXPECT_EQ(logins.viewRights[9], 0x407);
    EXPECT_FALSE(logins.loggedIn[10]);
}

TEST(LoginLog, FailuresAreLoggedAndThrottledPerAddress) {
    KestravaLogger::Logger logger;
    const auto capture = LogCapture::attach(logger);
    kestrava::test::TestClock clock(1'000 * kestrava::ticksPerSecond);
    LoginThrottle throttle(clock);
    AccountFixture f;
    LoginTable logins(f.accounts, f.view, &logger, &throttle);
    f.protect(true);
    f.addAccount(0, "Admin", "secret", 3, 3);

    for (int i = 0; i < LoginThrottle::freeFailures; ++i) {
        AccountFixture::type(logins, 4, "Admin", "guess" + std::to_string(i));
        EXPECT_EQ(logins.logIn(4, "192.0.2.7"), Outcome::wrongPassword);
    }
    // The right password from that address now waits; another address is not held up.
    AccountFixture::type(logins, 4, "Admin", "secret");
    EXPECT_EQ(logins.logIn(4, "192.0.2.7"), Outcome::throttled);
    EXPECT_FALSE(logins.loggedIn[4]);
    AccountFixture::type(logins, 5, "Admin", "secret");
    EXPECT_EQ(logins.logIn(5, "198.51.100.1"), Outcome::loggedIn);

    clock.advanceSeconds(29);
    AccountFixture::type(logins, 4, "Admin", "secret");
    EXPECT_EQ(logins.logIn(4, "192.0.2.7"), Outcome::throttled);
    clock.advanceSeconds(2);
    AccountFixture::type(logins, 4, "Admin", "secret");
    EXPECT_EQ(logins.logIn(4, "192.0.2.7"), Outcome::loggedIn);
    EXPECT_EQ(throttle.waitSeconds("192.0.2.7"), 0);  // a success forgets the address

    ASSERT_TRUE(capture->waitFor("Too many failed logins from 192.0.2.7"));
    ASSERT_TRUE(capture->waitFor("Failed login as \"Admin\" from 192.0.2.7: wrong password", 5));
    logger.stop();
    for (const auto& [level, text] : capture->snapshot()) {
        EXPECT_EQ(text.find(kestrava::model::passwordDigest("Admin", "guess0")), std::string::npos) << text;
    }
}

TEST(LoginThrottle, WaitsGrowWithEachFurtherFailureAndAreForgotten) {
    kestrava::test::TestClock clock(5'000 * kestrava::ticksPerSecond);
    LoginThrottle throttle(clock);
    for (int i = 1; i < LoginThrottle::freeFailures; ++i) EXPECT_FALSE(throttle.recordFailure("a"));
    EXPECT_EQ(throttle.waitSeconds("a"), 0);
    EXPECT_TRUE(throttle.recordFailure("a"));
    EXPECT_EQ(throttle.waitSeconds("a"), 30);
    EXPECT_TRUE(throttle.recordFailure("a"));
    EXPECT_EQ(throttle.waitSeconds("a"), 60);
    for (int i = 0; i < 10; ++i) throttle.recordFailure("a");
    EXPECT_EQ(throttle.waitSeconds("a"), 15 * 60);
    clock.advanceSeconds(2 * 60 * 60);
    EXPECT_EQ(throttle.waitSeconds("a"), 0);
    EXPECT_FALSE(throttle.recordFailure("a"));  // counting starts afresh

    // The table stays bounded.
    for (std::size_t i = 0; i < LoginThrottle::maxAddresses + 10; ++i) {
        for (int k = 0; k < LoginThrottle::freeFailures; ++k) throttle.recordFailure("x" + std::to_string(i));
        clock.advanceSeconds(0.001);
    }
    EXPECT_EQ(throttle.waitSeconds("x0"), 0);  // the oldest was dropped
    EXPECT_GT(throttle.waitSeconds("x" + std::to_string(LoginThrottle::maxAddresses + 9)), 0);
}

}  // namespace
