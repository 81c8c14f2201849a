#include "WalkTree.h"

#include "params/PBool.h"
#include "params/PButton.h"
#include "params/PEnum.h"
#include "params/PFloat.h"
#include "params/PInt.h"
#include "params/PListManager.h"
#include "params/PString.h"
#include "params/ids/ParamIdName.h"
#include "settings/ChangePropagation.h"

#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <string>

namespace {

using namespace kestrava;
using namespace kestrava::params;
using settings::LoginField;
using settingstest::WalkTree;

std::string idName(const Param* p) { return p == nullptr ? "none" : getParamIdName(p->id()); }

TEST(TreeWalks, EveryWalkPassesAllRowsAndAMisorderedTreeIsRefused) {
    WalkTree t;
    for (auto walk : {&settings::TreeWalks::storeParamsToSettings, &settings::TreeWalks::loadParamsFromSettings,
                      &settings::TreeWalks::refreshVisibility, &settings::TreeWalks::refreshEnabledStates}) {
        EXPECT_EQ(((*t.walks).*walk)().position, 955);
    }
    std::swap(t.rows[40], t.rows[41]);
    EXPECT_THROW(settings::TreeWalks(t.rows, *t.settings, *t.fields), std::logic_error);
    t.rows.pop_back();
    std::swap(t.rows[40], t.rows[41]);
    EXPECT_THROW(settings::TreeWalks(t.rows, *t.settings, *t.fields), std::logic_error);
}

// Codec version, Kestrava+ switch, GPS time encoding and device against the shown and enabled
// states of the bit-rate, Kestrava+ and GPS rows after one enabled-state walk.
TEST(TreeWalks, CodecAndGpsRowsFollowVersionPlusAndDevice) {
    struct Case {
        std::int32_t version;
        bool plus;
        bool gpsOn;
        std::int32_t device;
        bool v0Shown, v1Shown, plusRateShown;
        bool plusEnabled, vbrEnabled;
        bool nameShown, nameEnabled, clockShown, clockEnabled, baudShown, baudEnabled;
    };
    const Case cases[] = {
        // version "1": only the V1 rate, also with the switch on (disabled there)
        {0, true, true, -1, true, false, false, false, false, true, true, false, false, true, true},
        // version "4" with Kestrava+: only the Kestrava+ rate; system clock
        {3, true, true, -2, false, false, true, true, true, false, false, true, true, false, true},
        // version "4" without Kestrava+; a serial port
        {3, false, true, 3, false, true, false, true, false, false, false, false, false, true, true},
        // version "3": the switch is disabled, so the plain rate shows; GPS off disables the device
        {2, true, false, -1, false, true, false, false, false, true, false, false, false, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("version " + std::to_string(c.version) + " plus " + std::to_string(c.plus) + " device " +
                     std::to_string(c.device));
        WalkTree t;
        t.row<PEnum>(PARAM_KVRA_Version).setValue(c.version);
        t.row<PBool>(PARAM_KVRA_PlusEnabled).setValue(c.plus);
        t.row<PBool>(PARAM_KVRA_VariableBitrate).setValue(true);
        t.row<PBool>(PARAM_KVRA_gps_stamping_enabled).setValue(c.gpsOn);
        ASSERT_TRUE(t.row<PEnum>(PARAM_KVRA_GpsNmeaDeviceSelection).setValue(c.device) || c.device == -1);
        t.walks->refreshEnabledStates();

        EXPECT_EQ(t.row(PARAM_KVRA_Bitrate_V0).isShown(), c.v0Shown);
        EXPECT_EQ(t.row(PARAM_KVRA_Bitrate_V1).isShown(), c.v1Shown);
        EXPECT_EQ(t.row(PARAM_KVRA_Bitrate_V4PLUS).isShown(), c.plusRateShown);
        EXPECT_EQ(t.row(PARAM_KVRA_PlusEnabled).isEnabled(), c.plusEnabled);
        EXPECT_EQ(t.row(PARAM_KVRA_PlusEnabled).isShown(), c.plusEnabled);  // hides while disabled
        for (ParamId id : {PARAM_KVRA_VariableBitrate, PARAM_KVRA_VariableBitrateBits,
                           PARAM_KVRA_VariableBitrateQuality}) {
            EXPECT_EQ(t.row(id).isEnabled(), c.vbrEnabled) << getParamIdName(id);
            EXPECT_EQ(t.row(id).isShown(), c.vbrEnabled) << getParamIdName(id);
        }
        EXPECT_EQ(t.row(PARAM_KVRA_GpsNmeaDeviceSelection).isEnabled(), c.gpsOn);
        EXPECT_EQ(t.row(PARAM_KVRA_GpsNmeaDeviceName).isShown(), c.nameShown);
        EXPECT_EQ(t.row(PARAM_KVRA_GpsNmeaDeviceName).isEnabled(), c.nameEnabled);
        EXPECT_EQ(t.row(PARAM_KVRA_GpsSystemClockOffset).isShown(), c.clockShown);
        EXPECT_EQ(t.row(PARAM_KVRA_GpsSystemClockOffset).isEnabled(), c.clockEnabled);
        for (ParamId id : {PARAM_KVRA_GpsNmeaDeviceBaudrate, PARAM_KVRA_GpsStampingDelay}) {
            EXPECT_EQ(t.row(id).isShown(), c.baudShown) << getParamIdName(id);
            EXPECT_EQ(t.row(id).isEnabled(), c.baudEnabled) << getParamIdName(id);
        }
        EXPECT_EQ(t.row(ID_OPEN_KVRA_GPS_STATUS).isEnabled(), c.gpsOn);
    }
}

TEST(TreeWalks, VisibilityWalkAloneReadsTheSwitchWithItsEnabledFlag) {
    WalkTree t;
    t.row<PEnum>(PARAM_KVRA_Version).setValue(3);
    t.row<PBool>(PARAM_KVRA_PlusEnabled).setValue(true);
    t.walks->refreshVisibility();
    EXPECT_TRUE(t.row(PARAM_KVRA_Bitrate_V4PLUS).isShown());
    EXPECT_FALSE(t.row(PARAM_KVRA_Bitrate_V1).isShown());

    // Back at version "1" the switch still holds true but is disabled by the enabled-state walk.
    t.row<PEnum>(PARAM_KVRA_Version).setValue(0);
    t.walks->refreshEnabledStates();
    t.walks->refreshVisibility();
    EXPECT_TRUE(t.row(PARAM_KVRA_Bitrate_V0).isShown());
    EXPECT_FALSE(t.row(PARAM_KVRA_Bitrate_V4PLUS).isShown());
    EXPECT_FALSE(t.row(PARAM_KVRA_Bitrate_V1).isShown());
}

TEST(TreeWalks, SwitchesEnableTheRowsTheyGovernAndKeepTheirValues) {
    WalkTree t;
    t.row<PInt>(PARAM_WebserverPort).setValue(8090);
    t.row<PBool>(PARAM_WebserverEnable).setValue(false);
    t.row<PBool>(PARAM_inputtilt_on).setValue(false);
    t.at<PBool>(PARAM_KVRA_Enabled_0, 0).setValue(true);
    t.walks->refreshEnabledStates();
    for (ParamId id : {PARAM_WebserverPort, PARAM_WebServer_Whitelist, PARAM_WebServer_LowBandwidth,
                       PARAM_inputtilt_rc}) {
        EXPECT_FALSE(t.row(id).isEnabled()) << getParamIdName(id);
        EXPECT_TRUE(t.row(id).isShown()) << getParamIdName(id);
    }
    EXPECT_EQ(t.row<PInt>(PARAM_WebserverPort).current(), 8090);
    // Destination 0 is on, destination 1 off: only the first one's fields are enabled.
    for (ParamId first : {PARAM_KVRA_IP_0, PARAM_KVRA_Port_0, PARAM_KVRA_Interface_0, PARAM_KVRA_NAME_0}) {
        EXPECT_TRUE(t.at(first, 0).isEnabled()) << getParamIdName(first);
        EXPECT_FALSE(t.at(first, 1).isEnabled()) << getParamIdName(first);
    }
    EXPECT_TRUE(t.at(PARAM_KVRA_Enabled_0, 1).isEnabled());

    t.row<PBool>(PARAM_WebserverEnable).setValue(true);
    t.walks->refreshEnabledStates();
    EXPECT_TRUE(t.row(PARAM_WebserverPort).isEnabled());
    EXPECT_EQ(t.row<PInt>(PARAM_WebserverPort).current(), 8090);
}

TEST(TreeWalks, StreamSecurityRowsFollowTheKeyAndTheTypedTexts) {
    WalkTree t;
    t.row<PBool>(PARAM_KVRA_PasswordProtectStream).setValue(true);
    t.walks->refreshEnabledStates();
    EXPECT_FALSE(t.row(PARAM_KVRA_PasswordProtectStream).isEnabled());
    EXPECT_FALSE(t.row(PARAM_KVRA_Key).isEnabled());  // its switch is not active
    EXPECT_FALSE(t.row(NOSAVEPARAM_KVRA_Password_Apply).isEnabled());
    EXPECT_FALSE(t.row(NOSAVEPARAM_KVRA_Hash_Apply).isEnabled());

    t.settings->streamKeyPresent = true;
    std::strcpy(t.settings->newStreamPassword, "secret");
    t.walks->refreshEnabledStates();
    EXPECT_TRUE(t.row(PARAM_KVRA_PasswordProtectStream).isEnabled());
    EXPECT_TRUE(t.row(PARAM_KVRA_Key).isEnabled());
    EXPECT_TRUE(t.row(NOSAVEPARAM_KVRA_Password_Apply).isEnabled());
    EXPECT_FALSE(t.row(NOSAVEPARAM_KVRA_Hash_Apply).isEnabled());
}

TEST(TreeWalks, ASecondRoundOfWalksMarksNothing) {
    WalkTree t;
    t.row<PEnum>(PARAM_KVRA_Version).setValue(3);
    t.row<PBool>(PARAM_KVRA_PlusEnabled).setValue(true);
    t.at<PBool>(PARAM_KVRA_Enabled_0, 5).setValue(true);
    t.at<PString>(PARAM_KVRA_IP_0, 5).setValue("192.0.2.7");
    t.row<PBool>(NOSAVEPARAM_PASSWORD_PROTECTIONON_ANY).setValue(true);
    t.at<PString>(NOSAVEPARAM_USERNAME2_0, 4).setValue("someone");
    t.fields->ancillaryDataText = "RT: hello";
    const auto round = [&] {
        t.walks->refreshVisibility();
        t.walks->storeParamsToSettings();
        t.walks->refreshEnabledStates();
        t.walks->loadParamsFromSettings();
        t.walks->refreshEnabledStates();
    };
    round();
    ASSERT_NE(t.firstMarked(), nullptr);
    t.settle();
    t.fields->checkedAccounts.clear();
    round();
    EXPECT_EQ(t.firstMarked(), nullptr) << idName(t.firstMarked());
    EXPECT_TRUE(t.fields->checkedAccounts.empty());
}

// The list of destinations: rows 0 to 2 in use and three rows offered.
WalkTree& withThreeDestinations(WalkTree& t) {
    for (int i = 0; i < 3; ++i) t.at<PBool>(PARAM_KVRA_Enabled_0, i).setValue(true);
    t.walks->refreshVisibility();
    return t;
}

TEST(TreeWalks, ChangedDestinationsAreMarkedInUse) {
    struct Case {
        const char* what;
        bool rowEdit;  // a client inserted or removed a row before
        std::int64_t count;
        bool row6Shown;
    };
    for (const Case& c : {Case{"in place", false, 4, false}, Case{"after a row edit", true, 8, true}}) {
        SCOPED_TRACE(c.what);
        WalkTree t;
        auto& list = t.row<PListManager>(PARAM_KVRA_OUTPUTCOUNT);
        withThreeDestinations(t);
        ASSERT_EQ(list.current(), 3);
        if (c.rowEdit) {
            list.insertRow(0, 3);
            list.deleteRow(0, 3);
            ASSERT_TRUE(list.isCompacted());
            ASSERT_EQ(list.current(), 3);
        }
        // A description alone is no use of a row.
        t.at<PString>(PARAM_KVRA_NAME_0, 7).setValue("studio B");
        t.walks->refreshVisibility();
        EXPECT_EQ(list.current(), 3);

        t.at<PInt>(PARAM_KVRA_Port_0, 7).setValue(9000);
        t.walks->refreshVisibility();
        EXPECT_EQ(list.current(), c.count);
        EXPECT_TRUE(t.at(PARAM_KVRA_Port_0, 7).isShown());
        EXPECT_EQ(t.at(PARAM_KVRA_IP_0, 6).isShown(), c.row6Shown);
        EXPECT_EQ(t.at<PInt>(PARAM_KVRA_Port_0, 7).current(), 9000);
    }
}

TEST(TreeWalks, StoreWalkCopiesValuesAndTextsThatChanged) {
    WalkTree t({{"eth0", "192.0.2.1", "", 2}});
    t.row<PEnum>(PARAM_KVRA_Bitrate_V1).setValue(384);
    t.row<PInt>(PARAM_WebserverPort).setValue(8081);
    t.row<PFloat>(PARAM_INPUT1_Gain).setValue(2.0f);
    t.at<PBool>(PARAM_KVRA_Enabled_0, 9).setValue(true);
    t.at<PString>(PARAM_KVRA_IP_0, 9).setValue("198.51.100.4");
    const std::int32_t eth0 = t.nics->getEntry(1)->value.load();
    t.at<PEnum>(PARAM_KVRA_Interface_0, 9).setValue(eth0);
    t.settings->totalBitrate = 250;
    t.walks->storeParamsToSettings();

    EXPECT_EQ(t.settings->bitrate, 384);
    EXPECT_EQ(t.fields->webPort, 8081);
    EXPECT_EQ(t.settings->inputGain, 2.0f);
    EXPECT_TRUE(t.settings->destinationOn[9]);
    EXPECT_STREQ(t.settings->destinationHost[9].data(), "198.51.100.4");
    EXPECT_EQ(t.settings->destinationNic[9], eth0);
    EXPECT_STREQ(t.settings->destinationInterface[9].data(), "eth0");
    EXPECT_EQ(t.row<PInt>(PARAM_KVRA_TRPMaxBytesPerSecond).displayOffset(), 250);

    // A field changed behind the walk's back keeps its text until the row's text changes.
    std::strcpy(t.settings->destinationHost[9].data(), "elsewhere");
    t.walks->storeParamsToSettings();
    EXPECT_STREQ(t.settings->destinationHost[9].data(), "elsewhere");
    t.at<PString>(PARAM_KVRA_IP_0, 9).setValue("198.51.100.4 ");
    t.at<PString>(PARAM_KVRA_IP_0, 9).setValue("198.51.100.4");
    t.walks->storeParamsToSettings();
    EXPECT_STREQ(t.settings->destinationHost[9].data(), "198.51.100.4");
}

TEST(TreeWalks, ANewStreamKeyIsHandedToTheInstanceOnce) {
    WalkTree t;
    auto& key = t.row<PString>(PARAM_KVRA_Key);
    key.setValue("0123456789abcdef0123456789abcdef");
    t.walks->storeParamsToSettings();
    t.walks->storeParamsToSettings();
    ASSERT_EQ(t.fields->handedKeys.size(), 1u);
    EXPECT_EQ(t.fields->handedKeys[0], "0123456789abcdef0123456789abcdef");
    EXPECT_STREQ(t.settings->activeStreamKeyHash, "0123456789abcdef0123456789abcdef");

    // The same text set again raises nothing and hands nothing.
    key.setValue("0123456789abcdef0123456789abcdef");
    t.walks->storeParamsToSettings();
    EXPECT_EQ(t.fields->handedKeys.size(), 1u);
}

TEST(TreeWalks, LoadWalkBringsRowsInLineWithTheFields) {
    WalkTree t;
    t.fields->programVersion = "4.3.2.1 loaded";
    t.fields->activeDestinationCount = 5;
    t.fields->accounts.pending[2].userName = "operator";
    t.fields->accounts.passwordRepeat[2].clear();
    t.at<PString>(NOSAVEPARAM_PASSWORD_STRING_0, 2).setValue("typed but not applied");
    t.fields->accounts.pending[2].passwordHash.clear();
    t.settings->bitrate = 448;
    t.walks->loadParamsFromSettings();

    EXPECT_EQ(t.row<PString>(NOSAVEPARAM_SWVERSION).current(), "4.3.2.1 loaded");
    EXPECT_EQ(t.row<PListManager>(PARAM_KVRA_OUTPUTCOUNT).current(), 5);
    EXPECT_EQ(t.at<PString>(NOSAVEPARAM_PASSWORD_USERNAME_0, 2).current(), "operator");
    EXPECT_EQ(t.at<PString>(NOSAVEPARAM_PASSWORD_STRING_0, 2).current(), "");
    EXPECT_EQ(t.row<PEnum>(PARAM_KVRA_Bitrate_V1).current(), 448);
    // The changed pending rows mark their account in use and re-check it.
    EXPECT_EQ(t.fields->checkedAccounts, std::vector<int>{2});
}

TEST(TreeWalks, AccountRowsAreEditableOnlyWhileProtectionIsBeingSwitchedOn) {
    WalkTree t;
    t.walks->refreshEnabledStates();
    for (ParamId id : {PARAM_PASSWORD_PROTECTIONON_ANY, NOSAVEPARAM_PASSWORD_PROTECTIONON_ANY}) {
        EXPECT_TRUE(t.row(id).isEnabled()) << getParamIdName(id);
    }
    for (ParamId first : {PARAM_PASSWORD_PROTECTIONON_0, PARAM_PASSWORD_USERNAME_0, NOSAVEPARAM_PASSWORD_PROTECTIONON_0,
                          NOSAVEPARAM_PASSWORD_USERNAME_0, NOSAVEPARAM_PASSWORD_PROTECTION_MASK_QUICK_0}) {
        EXPECT_FALSE(t.at(first, 0).isEnabled()) << getParamIdName(first);
        EXPECT_FALSE(t.at(first, 6).isEnabled()) << getParamIdName(first);
    }
    EXPECT_FALSE(t.row(PARAM_LISTMANAGER_Login).isEnabled());
    EXPECT_TRUE(t.row(ID_OPEN_PASSWORD_INFO).isShown());
    EXPECT_TRUE(t.row(ID_OPEN_ACCOUNT_TEXT).isShown());
    EXPECT_FALSE(t.row(ID_OPEN_ACCOUNT).isShown());
    for (int s : {0, 5}) {
        for (ParamId first : {ID_OPEN_PASSWORD_LOGIN1_0, NOSAVEPARAM_PASSWORD_LOGIN2_0, NOPARAM_LoggedInAs_0,
                              NOSAVEPARAM_PASSWORD_LOGOUT2_0}) {
            EXPECT_FALSE(t.at(first, s).isShown()) << getParamIdName(first) << " slot " << s;
        }
    }

    // Pending protection on: every account's "Enabled" switch, and the rest of an account only
    // with its own switch on (account 0 is pending-enabled from the start).
    t.row<PBool>(NOSAVEPARAM_PASSWORD_PROTECTIONON_ANY).setValue(true);
    t.walks->refreshEnabledStates();
    EXPECT_TRUE(t.row(PARAM_LISTMANAGER_Login).isEnabled());
    for (int k : {0, 6}) {
        EXPECT_TRUE(t.at(NOSAVEPARAM_PASSWORD_PROTECTIONON_0, k).isEnabled());
        EXPECT_TRUE(t.at(PARAM_PASSWORD_PROTECTIONON_0, k).isEnabled());
    }
    EXPECT_TRUE(t.at(NOSAVEPARAM_PASSWORD_USERNAME_0, 0).isEnabled());
    EXPECT_TRUE(t.at(ID_OPEN_PASSWORD_PROTECTION_MASKS_0, 0).isEnabled());
    EXPECT_FALSE(t.at(NOSAVEPARAM_PASSWORD_USERNAME_0, 6).isEnabled());
    // The switch change re-checks all ten accounts in that walk.
    EXPECT_EQ(t.fields->checkedAccounts.size(), 10u);
}

TEST(TreeWalks, ApplyButtonFollowsPendingAccountChanges) {
    WalkTree t;
    auto& apply = t.row(NOSAVEPARAM_PASSWORD_ACTIVATE);
    // The factory state has account 0 pending-enabled only: a change is pending.
    t.at<PBool>(NOSAVEPARAM_PASSWORD_PROTECTIONON_0, 0).setValue(false);
    t.walks->refreshEnabledStates();
    EXPECT_FALSE(apply.isEnabled());

    struct Case {
        const char* what;
        void (*change)(WalkTree&);
        void (*undo)(WalkTree&);
    };
    const Case cases[] = {
        {"new password typed", [](WalkTree& w) { w.at<PString>(NOSAVEPARAM_PASSWORD_STRING_0, 3).setValue("x"); },
         [](WalkTree& w) { w.at<PString>(NOSAVEPARAM_PASSWORD_STRING_0, 3).setValue(""); }},
        {"repeat typed", [](WalkTree& w) { w.at<PString>(NOSAVEPARAM_PASSWORD2_STRING_0, 9).setValue("x"); },
         [](WalkTree& w) { w.at<PString>(NOSAVEPARAM_PASSWORD2_STRING_0, 9).setValue(""); }},
        {"admin rights", [](WalkTree& w) { w.at<PEnum>(NOSAVEPARAM_PASSWORD_PROTECTION_MASK_ADMIN_0, 4).setValue(1); },
         [](WalkTree& w) { w.at<PEnum>(NOSAVEPARAM_PASSWORD_PROTECTION_MASK_ADMIN_0, 4).setValue(0); }},
        {"settings rights",
         [](WalkTree& w) { w.at<PEnum>(NOSAVEPARAM_PASSWORD_PROTECTION_MASK_QUICK_0, 1).setValue(1); },
         [](WalkTree& w) { w.at<PEnum>(NOSAVEPARAM_PASSWORD_PROTECTION_MASK_QUICK_0, 1).setValue(3); }},
        {"user name", [](WalkTree& w) { w.at<PString>(NOSAVEPARAM_PASSWORD_USERNAME_0, 0).setValue("Admin2"); },
         [](WalkTree& w) { w.at<PString>(NOSAVEPARAM_PASSWORD_USERNAME_0, 0).setValue("Admin"); }},
        {"protection", [](WalkTree& w) { w.row<PBool>(NOSAVEPARAM_PASSWORD_PROTECTIONON_ANY).setValue(true); },
         [](WalkTree& w) { w.row<PBool>(NOSAVEPARAM_PASSWORD_PROTECTIONON_ANY).setValue(false); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.change(t);
        t.walks->refreshEnabledStates();
        EXPECT_TRUE(apply.isEnabled());
        c.undo(t);
        t.walks->refreshEnabledStates();
        EXPECT_FALSE(apply.isEnabled());
    }
}

TEST(TreeWalks, LoginSlotsShowTheFormOrTheLoggedInState) {
    WalkTree t;
    t.row<PBool>(PARAM_PASSWORD_PROTECTIONON_ANY).setValue(true);
    t.fields->logins[3].loggedIn = true;
    t.walks->refreshEnabledStates();
    EXPECT_TRUE(t.row(ID_OPEN_ACCOUNT).isShown());
    EXPECT_FALSE(t.row(ID_OPEN_PASSWORD_INFO).isShown());

    // Slot 3 is logged in, slot 4 is not, slot 0 never shows either.
    for (ParamId first : {NOPARAM_LoggedInAs_0, NOSAVEPARAM_PASSWORD_LOGOUT2_0, ID_OPEN_PASSWORD_LOGOUT1_0}) {
        EXPECT_TRUE(t.at(first, 3).isShown()) << getParamIdName(first);
        EXPECT_FALSE(t.at(first, 4).isShown()) << getParamIdName(first);
        EXPECT_FALSE(t.at(first, 0).isShown()) << getParamIdName(first);
    }
    EXPECT_TRUE(t.at(NOSAVEPARAM_PASSWORD_LOGOUT2_0, 3).isEnabled());
    EXPECT_TRUE(t.at(NOPARAM_LoggedInAs_0, 3).isEnabled());
    EXPECT_FALSE(t.at(NOSAVEPARAM_PASSWORD_LOGIN2_0, 3).isShown());
    EXPECT_TRUE(t.at(NOSAVEPARAM_PASSWORD_LOGIN2_0, 4).isShown());
    EXPECT_FALSE(t.at(NOSAVEPARAM_PASSWORD_LOGIN2_0, 0).isShown());

    // "Log in" is enabled once both fields hold text.
    auto& logIn = t.at(NOSAVEPARAM_PASSWORD_LOGIN2_0, 4);
    EXPECT_FALSE(logIn.isEnabled());
    t.at<PString>(NOSAVEPARAM_USERNAME2_0, 4).setValue("operator");
    t.walks->refreshEnabledStates();
    EXPECT_FALSE(logIn.isEnabled());
    t.at<PString>(NOSAVEPARAM_PASSWORD2_0, 4).setValue(std::string(64, 'a'));
    t.walks->refreshEnabledStates();
    EXPECT_TRUE(logIn.isEnabled());
}

TEST(TreeWalks, AChangedLoginFieldLosesItsErrorMark) {
    WalkTree t;
    t.at<PString>(NOSAVEPARAM_PASSWORD2_0, 7).setValue("digest");
    t.walks->refreshVisibility();
    using Mark = std::pair<LoginField, int>;
    EXPECT_EQ(t.fields->clearedMarks, (std::vector<Mark>{{LoginField::passwordEntry, 7}}));

    t.fields->clearedMarks.clear();
    t.at<PString>(NOSAVEPARAM_USERNAME2_0, 8).setValue("name");
    t.walks->refreshVisibility();
    EXPECT_EQ(t.fields->clearedMarks,
              (std::vector<Mark>{{LoginField::userNameEntry, 8}, {LoginField::passwordEntry, 8}}));
}

TEST(ChangePropagation, ALoadHoldsOffTheVisibilityWalkButNotTheApply) {
    WalkTree t;
    int applied = 0;
    settings::ChangePropagation changes(*t.walks, [&] {
        ++applied;
        t.settings->streamKeyPresent = true;  // as the instance's apply reports a loaded key
    });
    auto& v0 = t.row(PARAM_KVRA_Bitrate_V0);
    t.row<PEnum>(PARAM_KVRA_Version).setValue(0);
    {
        settings::ChangePropagation::LoadScope load(changes);
        EXPECT_TRUE(changes.loadInProgress());
        changes.refreshVisibilityGuarded();
        EXPECT_FALSE(v0.isShown());
        // The hook still applies, and its enabled-state walk sees what the apply wrote.
        changes.processParamChanges();
        EXPECT_EQ(applied, 1);
        EXPECT_TRUE(t.row(PARAM_KVRA_PasswordProtectStream).isEnabled());
    }
    EXPECT_FALSE(changes.loadInProgress());
    t.row<PEnum>(PARAM_KVRA_Version).setValue(3);
    changes.refreshVisibilityGuarded();
    EXPECT_FALSE(v0.isShown());
    EXPECT_TRUE(t.row(PARAM_KVRA_Bitrate_V1).isShown());
}

TEST(DestinationRows, ClearMoveAndShowWorkOnAllFiveRows) {
    WalkTree t({{"eth0", "192.0.2.1", "", 2}});
    const std::int32_t eth0 = t.nics->getEntry(1)->value.load();
    const auto fill = [&](int i, const char* host, std::int64_t port, const char* name) {
        t.at<PBool>(PARAM_KVRA_Enabled_0, i).setValue(true);
        t.at<PString>(PARAM_KVRA_IP_0, i).setValue(host);
        t.at<PInt>(PARAM_KVRA_Port_0, i).setValue(port);
        t.at<PEnum>(PARAM_KVRA_Interface_0, i).setValue(eth0);
        t.at<PString>(PARAM_KVRA_NAME_0, i).setValue(name);
    };
    fill(2, "192.0.2.20", 7000, "two");
    fill(3, "192.0.2.30", 7001, "three");
    const auto ops = t.sources.destinationRows;

    ops.moveRow(3, 2);
    EXPECT_TRUE(t.at<PBool>(PARAM_KVRA_Enabled_0, 2).current());
    EXPECT_EQ(t.at<PString>(PARAM_KVRA_IP_0, 2).current(), "192.0.2.30");
    EXPECT_EQ(t.at<PInt>(PARAM_KVRA_Port_0, 2).current(), 7001);
    EXPECT_EQ(t.at<PEnum>(PARAM_KVRA_Interface_0, 2).current(), eth0);
    EXPECT_EQ(t.at<PString>(PARAM_KVRA_NAME_0, 2).current(), "three");
    EXPECT_EQ(t.at<PString>(PARAM_KVRA_IP_0, 3).current(), "192.0.2.30");

    ops.clearRow(3);
    EXPECT_FALSE(t.at<PBool>(PARAM_KVRA_Enabled_0, 3).current());
    EXPECT_EQ(t.at<PString>(PARAM_KVRA_IP_0, 3).current(), "");
    EXPECT_EQ(t.at<PInt>(PARAM_KVRA_Port_0, 3).current(), 8854);
    EXPECT_EQ(t.at<PEnum>(PARAM_KVRA_Interface_0, 3).current(), 0);  // "Automatic"
    EXPECT_EQ(t.at<PEnum>(PARAM_KVRA_Interface_0, 3).saveText(0), "Automatic");
    EXPECT_EQ(t.at<PString>(PARAM_KVRA_NAME_0, 3).current(), "");

    ops.showRow(2, false);
    for (ParamId first : {PARAM_KVRA_Enabled_0, PARAM_KVRA_IP_0, PARAM_KVRA_Port_0, PARAM_KVRA_Interface_0,
                          PARAM_KVRA_NAME_0}) {
        EXPECT_FALSE(t.at(first, 2).isShown()) << getParamIdName(first);
        EXPECT_FALSE(t.at(first, 2).valueChanged.test(anyView)) << getParamIdName(first);
    }
    EXPECT_EQ(t.at<PInt>(PARAM_KVRA_Port_0, 2).current(), 7001);
    // Rows outside the list are ignored.
    ops.clearRow(100);
    ops.moveRow(-1, 0);
}

}  // namespace
