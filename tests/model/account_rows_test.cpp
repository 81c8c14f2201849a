#include "model/InstanceAccounts.h"
#include "model/PasswordDigest.h"
#include "params/PBool.h"
#include "params/PButton.h"
#include "params/PEnum.h"
#include "params/PString.h"
#include "settings/ChoiceLists.h"
#include "settings/EncoderSettings.h"
#include "settings/EncoderSettingsTree.h"
#include "settings/NetworkInterfaceList.h"
#include "settings/TreeSources.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace kestrava;
using model::InstanceAccounts;
using model::MarkedField;
using params::PBool;
using params::PButton;
using params::PEnum;
using params::PString;

class NoInterfaces final : public NetworkInterfaceList {
public:
    std::int32_t networkInterfaceCount() override { return 0; }
    net::NetworkInterface getNetworkInterface(std::int32_t n) override { return {"Invalid index", "0.0.0.0", "::0", n}; }
};

ParamId nth(ParamId first, int n) { return static_cast<ParamId>(first + n); }

// The "User rights" entries of a settings file: key name to stored text.
using SavedRights = std::map<std::string, std::string>;

// One instance's whole settings tree with its accounts tied to the rows, as a program declares it.
struct Instance {
    settings::EncoderSettings settings{192000};
    settings::SoundcardChoices soundcards;
    settings::InterfaceChoices interfaces;
    params::ParamTable table;
    InstanceAccounts accounts{table};
    std::vector<std::unique_ptr<params::Param>> rows;

    Instance() {
        NoInterfaces none;
        settings::fillSoundcardList(soundcards, {});
        settings::fillInterfaceList(interfaces, none);
        settings::TreeSources sources;
        sources.settings = &settings;
        sources.soundcards = &soundcards;
        sources.interfaces = &interfaces;
        accounts.fillSources(sources);
        rows = settings::buildEncoderSettings(table, sources);
        for (auto& r : rows) table.registerParam(*r);
        accounts.rows.rowsFollowRights = [this] {
            for (auto& r : rows) r->updateViewFlags();
        };
    }

    template <class P>
    P& row(ParamId first, int n = 0) {
        auto* p = dynamic_cast<P*>(table.findParam(nth(first, n)));
        EXPECT_NE(p, nullptr) << first << "+" << n;
        return *p;
    }
    // What a client's browser sends: the password field hashes with its user-name field.
    void typeAccount(int j, bool enabled, const std::string& name, const std::string& password, int admin,
                     int settingsAccess) {
        row<PBool>(NOSAVEPARAM_PASSWORD_PROTECTIONON_0, j).setValue(enabled);
        row<PString>(NOSAVEPARAM_PASSWORD_USERNAME_0, j).setValue(name);
        row<PString>(NOSAVEPARAM_PASSWORD_STRING_0, j).setFromTypedText(password, false);
        row<PString>(NOSAVEPARAM_PASSWORD2_STRING_0, j).setFromTypedText(password, false);
        row<PEnum>(NOSAVEPARAM_PASSWORD_PROTECTION_MASK_ADMIN_0, j).setValue(admin);
        row<PEnum>(NOSAVEPARAM_PASSWORD_PROTECTION_MASK_QUICK_0, j).setValue(settingsAccess);
    }
    void typeLogin(int n, const std::string& name, const std::string& password) {
        row<PString>(NOSAVEPARAM_USERNAME2_0, n).setValue(name);
        row<PString>(NOSAVEPARAM_PASSWORD2_0, n).setFromTypedText(password, false);
    }
    void press(ParamId first, int n, int view) { row<PButton>(first, n).press(view); }
    void logIn(int n, const std::string& name, const std::string& password) {
        typeLogin(n, name, password);
        press(NOSAVEPARAM_PASSWORD_LOGIN2_0, n, n);
    }

    // Administrator "Admin" with password "secret" switches the protection on from view 3,
    // with four more accounts, one per row of the rights table.
    void protect() {
        row<PBool>(NOSAVEPARAM_PASSWORD_PROTECTIONON_ANY).setValue(true);
        typeAccount(0, true, "Admin", "secret", 3, 3);
        typeAccount(1, true, "ops", "pw1", 0, 3);
        typeAccount(2, true, "viewer", "pw2", 1, 1);
        typeAccount(3, true, "keeper", "pw3", 3, 0);
        typeAccount(4, true, "guest", "pw4", 0, 0);
        typeLogin(3, "Admin", "secret");
        press(NOSAVEPARAM_PASSWORD_ACTIVATE, 0, 3);
        ASSERT_TRUE(row<PBool>(PARAM_PASSWORD_PROTECTIONON_ANY).current());
    }

    SavedRights savedRights() const {
        SavedRights out;
        for (const auto& r : rows) {
            if (!r->isPersistent() || r->sectionName() != "User rights") continue;
            for (int i = 0; i < r->valueCount(); ++i) out[r->keyName(i)] = r->saveText(i);
        }
        return out;
    }
    // What loading the file does to the rows, followed by the steps after a whole-file load.
    void load(const SavedRights& saved) {
        for (auto& r : rows) {
            if (!r->isPersistent() || r->sectionName() != "User rights") continue;
            for (int i = 0; i < r->valueCount(); ++i) {
                const auto it = saved.find(r->keyName(i));
                if (it != saved.end()) r->setFromSaveText(i, it->second);
            }
        }
        accounts.afterWholeFileLoad();
    }
};

TEST(AccountRows, ApplyingFromTheRowsCommitsTheAccountsIntoTheirSavedRows) {
    Instance in;
    in.protect();
    EXPECT_EQ(in.row<PString>(PARAM_PASSWORD_STRING_0).current(), model::passwordDigest("Admin", "secret"));
    EXPECT_EQ(in.row<PString>(PARAM_PASSWORD_USERNAME_0, 2).current(), "viewer");
    EXPECT_TRUE(in.row<PBool>(PARAM_PASSWORD_PROTECTIONON_0, 4).current());
    EXPECT_EQ(in.row<PEnum>(PARAM_PASSWORD_PROTECTION_MASK_ADMIN_0, 2).current(), 1);
    // The pending password rows are emptied; the typed password never reaches a row in clear.
    EXPECT_EQ(in.row<PString>(NOSAVEPARAM_PASSWORD_STRING_0, 1).current(), "");
    EXPECT_EQ(in.row<PString>(NOSAVEPARAM_PASSWORD2_STRING_0, 1).current(), "");
    // The page now asks every other view to log in; the view that switched it on stays in.
    EXPECT_TRUE(in.table.findParam(ID_OPEN_ACCOUNT)->isShown());
    EXPECT_FALSE(in.table.findParam(ID_OPEN_ACCOUNT_TEXT)->isShown());
    EXPECT_EQ(in.table.viewRights(3), 0x407u);
    EXPECT_EQ(in.table.viewRights(7), 2u);
    EXPECT_TRUE(in.table.findParam(nth(ID_OPEN_PASSWORD_LOGIN1_0, 7))->isShown());
    EXPECT_FALSE(in.table.findParam(nth(NOPARAM_LoggedInAs_0, 7))->isShown());
    // The rows follow the words: an account row is out of sight and out of reach of view 7.
    auto& adminRow = in.row<PString>(NOSAVEPARAM_PASSWORD_USERNAME_0, 1);
    EXPECT_TRUE(adminRow.isVisible(3));
    EXPECT_FALSE(adminRow.isVisible(7));
    EXPECT_FALSE(adminRow.isEditable(7));
}

TEST(AccountRows, EachAccessLevelGivesItsRightsWords) {
    Instance in;
    in.protect();
    struct Case {
        int view;
        const char* user;
        const char* password;
        std::uint32_t viewWord;
        std::uint32_t editWord;
    };
    const Case cases[] = {
        {5, "Admin", "secret", 0x407, 0x407}, {6, "ops", "pw1", 0x406, 0x406}, {7, "viewer", "pw2", 0x407, 0x002},
        {8, "keeper", "pw3", 0x403, 0x403},   {9, "guest", "pw4", 0x002, 0x002},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.user);
        in.logIn(c.view, c.user, c.password);
        EXPECT_EQ(in.table.viewRights(c.view), c.viewWord);
        EXPECT_EQ(in.table.editRights(c.view), c.editWord);
        EXPECT_EQ(in.row<PString>(NOPARAM_LoggedInAs_0, c.view).current(), c.user);
        EXPECT_TRUE(in.table.findParam(nth(NOSAVEPARAM_PASSWORD_LOGOUT2_0, c.view))->isShown());
        EXPECT_FALSE(in.table.findParam(nth(NOSAVEPARAM_PASSWORD_LOGIN2_0, c.view))->isShown());
        // A successful login empties the fields.
        EXPECT_EQ(in.row<PString>(NOSAVEPARAM_PASSWORD2_0, c.view).current(), "");
    }
    in.press(NOSAVEPARAM_PASSWORD_LOGOUT2_0, 5, 5);
    EXPECT_EQ(in.table.viewRights(5), 2u);
    EXPECT_EQ(in.row<PString>(NOPARAM_LoggedInAs_0, 5).current(), "");
}

TEST(AccountRows, RefusedLoginsMarkTheFieldAndGrantNothing) {
    Instance in;
    in.protect();
    in.logIn(10, "ops", "wrong");
    EXPECT_EQ(in.table.viewRights(10), 2u);
    EXPECT_TRUE(in.accounts.rows.errorMark(MarkedField::loginPassword, 10));
    EXPECT_FALSE(in.accounts.rows.errorMark(MarkedField::loginUserName, 10));
    in.logIn(10, "nobody", "pw1");
    EXPECT_TRUE(in.accounts.rows.errorMark(MarkedField::loginUserName, 10));
    // A mark redraws the row in the client views.
    EXPECT_TRUE(in.table.findParam(nth(NOSAVEPARAM_USERNAME2_0, 10))->valueChanged.test(10));
    in.logIn(10, "ops", "pw1");
    EXPECT_EQ(in.table.viewRights(10), 0x406u);
    EXPECT_FALSE(in.accounts.rows.errorMark(MarkedField::loginUserName, 10));
    EXPECT_FALSE(in.accounts.rows.errorMark(MarkedField::loginPassword, 10));
}

TEST(AccountRows, AddressesThatKeepFailingMustWaitEvenWithTheRightPassword) {
    Instance in;
    in.protect();
    in.accounts.clientAddress = [](int) { return std::string("192.0.2.7"); };
    for (int i = 0; i < model::LoginThrottle::freeFailures; ++i) in.logIn(11, "ops", "guess");
    in.logIn(11, "ops", "pw1");
    EXPECT_EQ(in.table.viewRights(11), 2u);
    EXPECT_TRUE(in.accounts.rows.errorMark(MarkedField::loginPassword, 11));
}

TEST(AccountRows, AnEnabledAccountWithoutPasswordIsRefusedAtApply) {
    Instance in;
    in.row<PBool>(NOSAVEPARAM_PASSWORD_PROTECTIONON_ANY).setValue(true);
    in.typeAccount(0, true, "Admin", "secret", 3, 3);
    in.typeAccount(1, true, "ops", "", 0, 3);
    in.typeLogin(3, "Admin", "secret");
    in.press(NOSAVEPARAM_PASSWORD_ACTIVATE, 0, 3);
    EXPECT_FALSE(in.row<PBool>(PARAM_PASSWORD_PROTECTIONON_ANY).current());
    EXPECT_EQ(in.row<PString>(PARAM_PASSWORD_STRING_0).current(), "");
    EXPECT_TRUE(in.accounts.rows.errorMark(MarkedField::accountPassword, 1));
    EXPECT_EQ(in.table.viewRights(7), 0xffffffffu);
}

TEST(AccountRows, ASavedProtectedTableLogsInAfterARestart) {
    SavedRights saved;
    {
        Instance before;
        before.protect();
        saved = before.savedRights();
    }
    EXPECT_EQ(saved.at("Password protection on"), "1");
    EXPECT_EQ(saved.at("Password 0"), model::passwordDigest("Admin", "secret"));
    EXPECT_EQ(saved.at("User name 1"), "ops");
    EXPECT_EQ(saved.count("User name 0"), 0u);
    for (const auto& [key, text] : saved) EXPECT_EQ(key.rfind("New ", 0), std::string::npos) << key;

    Instance after;
    after.load(saved);
    // Every view but the program's own must log in again.
    EXPECT_EQ(after.table.viewRights(0), 0xffffffffu);
    EXPECT_EQ(after.table.viewRights(4), 2u);
    after.logIn(4, "Admin", "secret");
    EXPECT_EQ(after.table.viewRights(4), 0x407u);
    after.logIn(6, "ops", "pw1");
    EXPECT_EQ(after.table.viewRights(6), 0x406u);
    after.logIn(8, "ops", "");
    EXPECT_EQ(after.table.viewRights(8), 2u);
}

}  // namespace
