#include "FactoryTree.h"

#include "params/PBool.h"
#include "params/PButton.h"
#include "params/PEnum.h"
#include "params/PFloat.h"
#include "params/PInt.h"
#include "params/PListManager.h"
#include "params/PMpx.h"
#include "params/PString.h"
#include "params/PWave.h"
#include "params/ids/ParamIdName.h"
#include "settings/TreeDump.h"
#include "audio/OldSamples.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

namespace {

using namespace kestrava;
using namespace kestrava::params;
using settingstest::FactoryTree;

TEST(SettingsTree, DumpEqualsTheCheckedGoldenFile) {
    FactoryTree t;
    t.build();
    std::ifstream in(KESTRAVA_TEST_DATA "/settings_tree.txt");
    ASSERT_TRUE(in) << "golden file missing";
    std::stringstream golden;
    golden << in.rdbuf();
    std::string expected = golden.str();
    // The software version row shows the program's own version; the file holds a marker.
    const std::string marker = "@VERSION@";
    expected.replace(expected.find(marker), marker.size(), t.sources.programVersion);
    const std::string dump = settings::dumpTree(t.rows);
    ASSERT_EQ(t.rows.size(), 955u);
    // Line by line, so a failure names the row.
    std::istringstream a(dump), b(expected);
    std::string got, want;
    for (int line = 0; std::getline(b, want); ++line) {
        ASSERT_TRUE(std::getline(a, got)) << "dump ends before line " << line;
        EXPECT_EQ(got, want) << "line " << line;
    }
    EXPECT_FALSE(std::getline(a, got)) << "dump has more lines than the golden file";
}

struct SampledRow {
    int index;
    ParamId id;
    const char* key;
    const char* shortKey;
};

TEST(SettingsTree, SampledRowsSitAtTheirPlacesWithTheirKeys) {
    FactoryTree t;
    t.build();
    const SampledRow samples[] = {
        {0, ID_OPEN_SYSTEM_INFO, "", ""},
        {15, PARAM_KVRA_Version, "Corvix Kestrava  version", "KVRAVers"},
        {56, PARAM_KVRA_Enabled_0, "Corvix Kestrava Enabled 0", "KVOn000"},
        {56 + 5 * 7 + 0, static_cast<ParamId>(4217 + 7), "Corvix Kestrava Enabled 7", "KVOn007"},
        {56 + 5 * 7 + 1, static_cast<ParamId>(4317 + 7), "Corvix Kestrava IP 7", "KVIP007"},
        {56 + 5 * 7 + 2, static_cast<ParamId>(4417 + 7), "Corvix Kestrava Port 7", "KVPo007"},
        {56 + 5 * 7 + 3, static_cast<ParamId>(4653 + 7), "Corvix Kestrava Interface 7", "KVIf007"},
        {56 + 5 * 7 + 4, static_cast<ParamId>(8300 + 7), "Corvix Kestrava target description 7", "KVRDe7"},
        {56 + 5 * 42 + 4, static_cast<ParamId>(8300 + 42), "Corvix Kestrava target description 42", "KVRDe42"},
        {555, static_cast<ParamId>(8300 + 99), "Corvix Kestrava target description 99", "KVRDe99"},
        {559, NOSAVEPARAM_INPUT1_Device, "Device ID", "ScInDevi"},
        {571, INPUT_WAVE_DETILTED, "", ""},
        {954, ID_CORVIX_KOEK_ERRORS, "", ""},
    };
    for (const SampledRow& s : samples) {
        SCOPED_TRACE(s.index);
        const Param& p = *t.rows[static_cast<std::size_t>(s.index)];
        EXPECT_STREQ(getParamIdName(p.id()), getParamIdName(s.id));
        EXPECT_EQ(p.keyName(0), s.key);
        EXPECT_EQ(p.shortKey(), s.shortKey);
    }
    EXPECT_EQ(t.rows[0]->declaredName(), "System info");
    EXPECT_EQ(t.owner.findParam(static_cast<ParamId>(6998)), t.owner.findParam(PARAM_KVRA_OUTPUTCOUNT));
    EXPECT_EQ(t.indexOf(static_cast<ParamId>(11031)) + 1, t.indexOf(PARAM_KVRA_OUTPUTCOUNT));
}

TEST(SettingsTree, EveryIdentifierIsDeclaredOnceAndOnlyTwoOwnRowsNeedViewMaskTwo) {
    FactoryTree t;
    t.build();
    for (std::size_t i = 0; i < t.rows.size(); ++i) {
        EXPECT_EQ(t.indexOf(t.rows[i]->id()), static_cast<int>(i)) << getParamIdName(t.rows[i]->id());
    }
    std::vector<std::string> maskTwo;
    for (int i = 0; i < settings::ownRowCount; ++i) {
        if (t.rows[static_cast<std::size_t>(i)]->viewMask() != 4) maskTwo.push_back(getParamIdName(t.rows[static_cast<std::size_t>(i)]->id()));
    }
    EXPECT_EQ(maskTwo, std::vector<std::string>{"ID_SUBLEVEL_KVRA"});
    EXPECT_EQ(t.rows.back()->viewMask(), 2u);
}

TEST(SettingsTree, AccountRowsKeepTheirPlacesAndShortKeys) {
    FactoryTree t;
    t.build();
    const int first = t.indexOf(ID_OPEN_LOGIN);
    EXPECT_EQ(first, 572);
    // The account list is the 54th row of the "User rights" section; the page follows 124 rows on.
    EXPECT_EQ(t.indexOf(PARAM_LISTMANAGER_Login) - first + 1, 54);
    EXPECT_EQ(t.rows[static_cast<std::size_t>(first + 124)]->id(), ID_OPEN_ACCOUNT);
    EXPECT_EQ(t.row(PARAM_LISTMANAGER_Login).shortKey(), "NASSonN");
    const Param& on3 = t.row(static_cast<ParamId>(PARAM_PASSWORD_PROTECTIONON_0 + 3));
    EXPECT_EQ(on3.shortKey(), "PASSon 3");
    EXPECT_EQ(on3.keyName(0), "Password protection on 3");
    EXPECT_EQ(on3.sectionName(), "User rights");
    EXPECT_EQ(t.rows[static_cast<std::size_t>(t.indexOf(NOSAVEPARAM_RIGHTS_ISSUE_30) + 1)]->id(),
              ID_SUBLEVEL_PASSWORD_LOGIN);
}

TEST(SettingsTree, SavedRowsOfTheAccountsAreThoseTheFileHolds) {
    FactoryTree t;
    t.build();
    std::vector<std::string> keys;
    for (const auto& p : t.rows) {
        if (p->isPersistent() && p->sectionName() == "User rights") keys.push_back(p->keyName(0));
    }
    // Account 0's password, accounts 1-9 with all five rows, the switch and the list.
    EXPECT_EQ(keys.size(), 1u + 1 + 9 * 5 + 1);
    EXPECT_EQ(keys.front(), "Password protection on");
    EXPECT_NE(std::find(keys.begin(), keys.end(), "Password 0"), keys.end());
    EXPECT_EQ(std::find(keys.begin(), keys.end(), "User name 0"), keys.end());
    EXPECT_NE(std::find(keys.begin(), keys.end(), "Access: Settings 9"), keys.end());
    EXPECT_EQ(keys.back(), "Number of active passwords");
}

TEST(SettingsTree, RangesAreThoseOfTheRows) {
    FactoryTree t;
    t.build();
    struct Case {
        ParamId id;
        double low, high;
    };
    const Case ints[] = {
        {PARAM_WebserverPort, 0, 99999},
        {PARAM_KVRA_Port_0, 0, 99999},
        {PARAM_KVRA_RedundancyPacketDelay, 0, 255},
        {PARAM_KVRA_RedundancyPacketOverhead, 0, 255},
        {PARAM_KVRA_TRPMaxBytesPerSecond, 0, 512},
        {PARAM_KVRA_OUTPUTCOUNT, 1, 100},
        {PARAM_LISTMANAGER_Login, 1, 10},
    };
    for (const Case& c : ints) {
        SCOPED_TRACE(getParamIdName(c.id));
        const auto& p = t.row<PInt>(c.id);
        EXPECT_EQ(p.minimum(), static_cast<std::int64_t>(c.low));
        EXPECT_EQ(p.maximum(), static_cast<std::int64_t>(c.high));
    }
    const Case floats[] = {
        {PARAM_KVRA_ResetInterval, 0, 5},
        {PARAM_KVRA_GpsSystemClockOffset, -1, 1},
        {PARAM_KVRA_GpsStampingDelay, 0, 0.25},
        {PARAM_INPUT1_Gain, 1.0, 39.8107},
        {PARAM_inputtilt_rc, -5, 5},
    };
    for (const Case& c : floats) {
        SCOPED_TRACE(getParamIdName(c.id));
        const auto& p = t.row<PFloat>(c.id);
        EXPECT_FLOAT_EQ(p.minimum(), static_cast<float>(c.low));
        EXPECT_FLOAT_EQ(p.maximum(), static_cast<float>(c.high));
        EXPECT_FALSE(p.isInRange(static_cast<float>(c.high) * 1.01f + 0.01f));
    }
    EXPECT_FALSE(t.row<PFloat>(PARAM_INPUT1_Gain).isInRange(0.99f));
}

TEST(SettingsTree, FactoryDefaultsAndFixedAttributes) {
    FactoryTree t;
    t.build();
    EXPECT_EQ(t.row<PString>(NOSAVEPARAM_SWVERSION).current(), "1.2.3.4 test");
    EXPECT_TRUE(t.row<PBool>(PARAM_WebserverEnable).current());
    EXPECT_EQ(t.row<PInt>(PARAM_WebserverPort).current(), 8080);
    EXPECT_EQ(t.row<PString>(PARAM_WebServer_Whitelist).current(), "/0");
    EXPECT_EQ(t.row<PEnum>(PARAM_KVRA_Version).saveText(0), "4");
    EXPECT_EQ(t.row<PEnum>(PARAM_KVRA_VariableBitrateQuality).labelText(), "Follow main");
    EXPECT_EQ(t.row<PEnum>(PARAM_KVRA_GpsNmeaDeviceSelection).labelText(), "Custom device name");
    EXPECT_FLOAT_EQ(t.row<PFloat>(PARAM_KVRA_GpsStampingDelay).current(), 0.05f);
    EXPECT_EQ(t.row<PListManager>(PARAM_KVRA_OUTPUTCOUNT).current(), 1);
    for (int i : {0, 99}) {
        EXPECT_EQ(t.row<PInt>(static_cast<ParamId>(PARAM_KVRA_Port_0 + i)).current(), 8854);
        EXPECT_EQ(t.row<PEnum>(static_cast<ParamId>(PARAM_KVRA_Interface_0 + i)).labelText(), "Automatic");
    }
    for (ParamId id : {NOSAVEPARAM_SWVERSION, PARAM_KVRA_Key, NOSAVEPARAM_has_gps_lock,
                       NOSAVEPARAM_has_nmea_timestamps_timestamp, NOSAVEPARAM_gpsStatus_stamperSampleRate}) {
        EXPECT_FALSE(t.row(id).isEditable(-1)) << getParamIdName(id);
    }
    for (ParamId id : {NOSAVEPARAM_SWVERSION, NOSAVEPARAM_KVRA_Password, NOSAVEPARAM_KVRA_Hash, INPUT_WAVE2,
                       NOSAVEPARAM_has_gps_encoderOffset}) {
        EXPECT_FALSE(t.row(id).isPersistent()) << getParamIdName(id);
    }
    // Despite its name the input device is saved; the web rows are not part of "general" saves.
    EXPECT_TRUE(t.row(NOSAVEPARAM_INPUT1_Device).isPersistent());
    EXPECT_FALSE(t.row(PARAM_WebserverPort).isGeneralPersistent());
    EXPECT_TRUE(t.row(PARAM_WebserverPort).isResettable());
    EXPECT_FALSE(t.row(PARAM_WebserverPort).isPresetSetting());
    EXPECT_FALSE(t.row(NOSAVEPARAM_KVRA_Password).isResettable());
}

TEST(SettingsTree, DefaultsComeFromTheLiveSettingsRecord) {
    FactoryTree t;
    t.settings->codecVersion = 0;
    t.settings->destinationPort[3] = 9000;
    std::memcpy(t.settings->activeStreamKeyHash, "0123456789abcdef0123456789abcdef", 33);
    t.settings->totalBitrate = 345;
    t.build();
    EXPECT_EQ(t.row<PInt>(static_cast<ParamId>(PARAM_KVRA_Port_0 + 3)).current(), 9000);
    EXPECT_EQ(t.row<PString>(PARAM_KVRA_Key).current(), "0123456789abcdef0123456789abcdef");
    EXPECT_EQ(t.row<PInt>(PARAM_KVRA_TRPMaxBytesPerSecond).displayOffset(), 345);
}

struct ShownCase {
    const char* name;
    std::int32_t version;
    bool plus;
    std::int32_t gpsDevice;
    bool v0, v1, plusRate, deviceName, clockOffset, baudAndDelay;
};

class InitialShownState : public testing::TestWithParam<ShownCase> {};

TEST_P(InitialShownState, FollowsTheVersionPlusAndGpsDevice) {
    const ShownCase& c = GetParam();
    FactoryTree t;
    t.settings->codecVersion = c.version;
    t.settings->plusMode = c.plus;
    t.settings->gpsDevice = c.gpsDevice;
    t.build();
    EXPECT_EQ(t.row(PARAM_KVRA_Bitrate_V0).isShown(), c.v0);
    EXPECT_EQ(t.row(PARAM_KVRA_Bitrate_V1).isShown(), c.v1);
    EXPECT_EQ(t.row(PARAM_KVRA_Bitrate_V4PLUS).isShown(), c.plusRate);
    EXPECT_EQ(t.row(PARAM_KVRA_GpsNmeaDeviceName).isShown(), c.deviceName);
    EXPECT_EQ(t.row(PARAM_KVRA_GpsSystemClockOffset).isShown(), c.clockOffset);
    EXPECT_EQ(t.row(PARAM_KVRA_GpsNmeaDeviceBaudrate).isShown(), c.baudAndDelay);
    EXPECT_EQ(t.row(PARAM_KVRA_GpsStampingDelay).isShown(), c.baudAndDelay);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, InitialShownState,
    testing::Values(ShownCase{"factory", 3, false, -1, false, true, false, true, false, true},
                    ShownCase{"version1", 0, false, 2, true, false, false, false, false, true},
                    ShownCase{"plus", 3, true, -2, false, false, true, false, true, false}),
    [](const testing::TestParamInfo<ShownCase>& i) { return std::string(i.param.name); });

TEST(SettingsTree, VbrRowsHideWhileDisabled) {
    FactoryTree t;
    t.build();
    for (ParamId id : {PARAM_KVRA_PlusEnabled, PARAM_KVRA_VariableBitrate, PARAM_KVRA_VariableBitrateBits,
                       PARAM_KVRA_VariableBitrateQuality}) {
        Param& p = t.row(id);
        p.setEnabled(false);
        EXPECT_FALSE(p.isShown()) << getParamIdName(id);
    }
    Param& other = t.row(PARAM_KVRA_ResetInterval);
    other.setEnabled(false);
    EXPECT_TRUE(other.isShown());
}

TEST(SettingsTree, InputDeviceStartsUnknownWhenCardsExistAndOnThePlaceholderWhenNone) {
    FactoryTree none;
    none.build();
    const auto& empty = none.row<PEnum>(NOSAVEPARAM_INPUT1_Device);
    EXPECT_FALSE(empty.isUnknown());
    EXPECT_EQ(empty.labelText(), "No sound cards found");

    FactoryTree withCard({{4, "Fake sound card (Fake)", "Fake sound card (Fake)"}});
    withCard.build();
    const auto& row = withCard.row<PEnum>(NOSAVEPARAM_INPUT1_Device);
    EXPECT_TRUE(row.isUnknown());
    EXPECT_EQ(row.current(), -1);
    // Choosing the card makes it the row's entry.
    withCard.row<PEnum>(NOSAVEPARAM_INPUT1_Device).setValue(4);
    EXPECT_EQ(row.labelText(), "Fake sound card (Fake)");
    EXPECT_EQ(row.saveText(0), "Fake sound card (Fake)");
}

TEST(SettingsTree, AccountPageShowsLoginRowsOnlyForOtherViewsWithProtectionOn) {
    FactoryTree off;
    off.build();
    EXPECT_FALSE(off.row(ID_OPEN_ACCOUNT).isShown());
    EXPECT_TRUE(off.row(ID_OPEN_PASSWORD_INFO).isShown());
    EXPECT_TRUE(off.row(ID_OPEN_ACCOUNT_TEXT).isShown());
    EXPECT_FALSE(off.row(static_cast<ParamId>(ID_OPEN_PASSWORD_LOGIN1_0 + 7)).isShown());
    EXPECT_FALSE(off.row(static_cast<ParamId>(NOSAVEPARAM_PASSWORD_LOGIN2_0 + 7)).isShown());
    EXPECT_TRUE(off.row(static_cast<ParamId>(NOSAVEPARAM_USERNAME2_0 + 7)).isShown());

    FactoryTree on;
    on.sources.accounts.protectionOn = true;
    on.sources.logins[8].loggedIn = true;
    on.build();
    const auto at = [](ParamId first, int s) { return static_cast<ParamId>(first + s); };
    EXPECT_TRUE(on.row(ID_OPEN_ACCOUNT).isShown());
    EXPECT_FALSE(on.row(ID_OPEN_ACCOUNT_TEXT).isShown());
    struct Slot {
        int view;
        bool form, loggedIn;
    };
    for (const Slot s : {Slot{0, false, false}, Slot{7, true, false}, Slot{8, false, true}}) {
        SCOPED_TRACE(s.view);
        EXPECT_EQ(on.row(at(ID_OPEN_PASSWORD_LOGIN1_0, s.view)).isShown(), s.form);
        EXPECT_EQ(on.row(at(NOSAVEPARAM_PASSWORD_LOGIN2_0, s.view)).isShown(), s.form);
        EXPECT_EQ(on.row(at(ID_OPEN_PASSWORD_LOGOUT1_0, s.view)).isShown(), s.loggedIn);
        EXPECT_EQ(on.row(at(NOPARAM_LoggedInAs_0, s.view)).isShown(), s.loggedIn);
        EXPECT_EQ(on.row(at(NOSAVEPARAM_PASSWORD_LOGOUT2_0, s.view)).isShown(), s.loggedIn);
        EXPECT_FALSE(on.row(at(NOSAVEPARAM_RIGHTS_ISSUE_0, s.view)).isShown());
    }
}

TEST(SettingsTree, LoginRowsAreBoundToTheirViewAndPasswordsHashWithTheirUserName) {
    FactoryTree t;
    t.build();
    for (auto& p : t.rows) p->updateViewFlags();
    const Param& user12 = t.row(static_cast<ParamId>(NOSAVEPARAM_USERNAME2_0 + 12));
    EXPECT_TRUE(user12.isVisible(12));
    EXPECT_FALSE(user12.isVisible(11));
    EXPECT_TRUE(t.row(NOSAVEPARAM_PASSWORD_ACTIVATE).isVisible(11));
    const auto& login = t.row<PString>(static_cast<ParamId>(NOSAVEPARAM_PASSWORD2_0 + 12));
    EXPECT_TRUE(login.isPassword());
    EXPECT_TRUE(login.dontStorePassword());
    EXPECT_EQ(login.getHashWithId(), static_cast<ParamId>(NOSAVEPARAM_USERNAME2_0 + 12));
    EXPECT_EQ(t.row<PString>(static_cast<ParamId>(NOSAVEPARAM_PASSWORD2_STRING_0 + 4)).getHashWithId(),
              static_cast<ParamId>(NOSAVEPARAM_PASSWORD_USERNAME_0 + 4));
    EXPECT_EQ(t.row<PString>(static_cast<ParamId>(PARAM_PASSWORD_STRING_0)).getHashWithId(),
              static_cast<ParamId>(PARAM_PASSWORD_USERNAME_0));
    // Account 0 ("Admin") is fixed: only its password can be edited.
    EXPECT_FALSE(t.row(NOSAVEPARAM_PASSWORD_USERNAME_0).isEditable(-1));
    EXPECT_TRUE(t.row(NOSAVEPARAM_PASSWORD_STRING_0).isEditable(-1));
    EXPECT_TRUE(t.row(static_cast<ParamId>(NOSAVEPARAM_PASSWORD_USERNAME_0 + 1)).isEditable(-1));
    EXPECT_EQ(t.row<PString>(NOSAVEPARAM_PASSWORD_USERNAME_0).current(), "Admin");
    EXPECT_TRUE(t.row<PBool>(NOSAVEPARAM_PASSWORD_PROTECTIONON_0).current());
    EXPECT_FALSE(t.row<PBool>(PARAM_PASSWORD_PROTECTIONON_0).current());
}

TEST(SettingsTree, ButtonsRunTheirBoundActions) {
    FactoryTree t;
    int hashed = 0, loggedInView = -1;
    const ButtonFunction hash = ButtonFunction::withoutArgument([&] { ++hashed; });
    const ButtonFunction logIn([&](int view) { loggedInView = view; });
    t.sources.hashStreamPassword = &hash;
    t.sources.logIn = &logIn;
    t.build();
    t.row<PButton>(NOSAVEPARAM_KVRA_Password_Apply).press(0);
    t.row<PButton>(static_cast<ParamId>(NOSAVEPARAM_PASSWORD_LOGIN2_0 + 5)).press(5);
    t.row<PButton>(NOSAVEPARAM_KVRA_Hash_Apply).press(0);  // no action bound: nothing happens
    EXPECT_EQ(hashed, 1);
    EXPECT_EQ(loggedInView, 5);
}

}  // namespace

// The four displays draw from the instance's histories: the spectrum and the input before tilt
// correction from the raw input, the scope and the detilted input from the input after the input
// stage; the detilted wave follows the one before tilt correction, so zooming either zooms both.
TEST(SettingsTree, DisplayRowsDrawFromTheInstanceHistories) {
    OldSamples raw(false);
    OldSamples input(true);
    FactoryTree t;
    t.sources.rawInputHistory = &raw;
    t.sources.inputHistory = &input;
    t.build();

    const struct {
        ParamId id;
        OldSamples* history;
        float span;
    } displays[] = {
        {OUTPUT_FM_WAVE, &input, 0.025f},
        {OUTPUT_FM_MPX, &raw, -8192.0f},
        {INPUT_WAVE2, &raw, 0.2f},
        {INPUT_WAVE_DETILTED, &input, 0.2f},
    };
    for (const auto& d : displays) {
        const PWave& wave = t.row<PWave>(d.id);
        EXPECT_EQ(wave.history(), d.history) << getParamIdName(d.id);
        EXPECT_FLOAT_EQ(wave.span(), d.span) << getParamIdName(d.id);
        EXPECT_TRUE(wave.hasGraph()) << getParamIdName(d.id);
    }
    auto& spectrum = t.row<PMpx>(OUTPUT_FM_MPX);
    EXPECT_FALSE(spectrum.isEditable(-1));
    EXPECT_EQ(spectrum.maxFrequency(), 62000);

    auto& before = t.row<PWave>(INPUT_WAVE2);
    auto& detilted = t.row<PWave>(INPUT_WAVE_DETILTED);
    EXPECT_EQ(detilted.master(), &before);
    EXPECT_EQ(before.followerCount(), 1);
    EXPECT_EQ(t.row<PWave>(OUTPUT_FM_WAVE).master(), nullptr);
    ASSERT_TRUE(detilted.setZoomFactor(2.0f));
    EXPECT_FLOAT_EQ(before.span(), 0.4f);
    EXPECT_FLOAT_EQ(detilted.span(), 0.4f);
    EXPECT_FLOAT_EQ(t.row<PWave>(OUTPUT_FM_WAVE).span(), 0.025f);
    // The input wave before tilt correction is never saved; the others keep their span.
    EXPECT_EQ(before.saveText(0), "");
    EXPECT_EQ(detilted.saveText(0), "0.200000");
}
