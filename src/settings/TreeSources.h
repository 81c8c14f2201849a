#pragma once

#include "params/ButtonFunction.h"
#include "params/LMEnumList.h"
#include "params/PListManager.h"

#include <array>
#include <cstdint>
#include <string>

class OldSamples;

namespace kestrava::settings {

struct EncoderSettings;

inline constexpr int accountCount = 10;
inline constexpr int loginSlotCount = 31;  // one per client view

// One side (committed or pending) of a user account as its rows take it for their defaults.
struct AccountSide {
    bool enabled = false;
    std::string userName;
    std::string passwordHash;  // empty, or 64 lower-case hexadecimal digits
    std::int32_t adminAccess = 0;
    std::int32_t settingsAccess = 3;
};

// The protection state the account rows start from; the defaults are a new instance's:
// protection off, account 0 "Admin" (pending-enabled, full admin access), the others empty.
struct AccountDefaults {
    bool protectionOn = false;
    bool pendingProtectionOn = false;
    std::array<AccountSide, accountCount> committed = factory(false);
    std::array<AccountSide, accountCount> pending = factory(true);
    std::array<std::string, accountCount> passwordRepeat{};
    std::int32_t activeAccountCount = 1;

    static std::array<AccountSide, accountCount> factory(bool pendingSide) {
        std::array<AccountSide, accountCount> a{};
        a[0].enabled = pendingSide;
        a[0].userName = "Admin";
        a[0].adminAccess = 3;
        return a;
    }
};

// One client view's login slot.
struct LoginSlotDefaults {
    std::string userNameEntry;
    std::string passwordEntry;
    std::string loggedInAs;
    bool loggedIn = false;
};

// Everything the declaration reads besides the live settings record: the defaults that live
// elsewhere, the choice lists and the actions that rows are bound to. Lists and actions are
// borrowed and must outlive the rows; a missing action makes a button that does nothing.
struct TreeSources {
    const EncoderSettings* settings = nullptr;  // required

    std::string programVersion;
    bool webEnabled = true;
    std::int32_t webPort = 8080;
    std::string webWhiteList = "/0";
    bool webLowBandwidth = false;

    // Status fields shown by the display rows.
    bool gpsLockStatus = false;
    bool nmeaDataStatus = false;
    std::string nmeaTimestampText;
    std::string gpsEncoderOffsetText;
    std::string gpsStamperSampleRateText;
    std::string ancillaryDataText;

    std::int32_t activeDestinationCount = 1;
    AccountDefaults accounts;
    std::array<LoginSlotDefaults, loginSlotCount> logins{};

    // The instance's two sample histories that the display rows draw from: the sound-card input
    // as delivered, and the input after the input stage (tilt correction). Borrowed; they must
    // outlive the rows. Without them the displays send no picture.
    OldSamples* rawInputHistory = nullptr;
    OldSamples* inputHistory = nullptr;

    const params::LMEnumList* soundcards = nullptr;
    const params::LMEnumList* interfaces = nullptr;

    const params::ButtonFunction* hashStreamPassword = nullptr;
    const params::ButtonFunction* applyStreamKeyEntry = nullptr;
    const params::ButtonFunction* logIn = nullptr;
    const params::ButtonFunction* logOut = nullptr;
    const params::ButtonFunction* applyAccountChanges = nullptr;
    params::PListManager::RowOperations destinationRows;
    params::PListManager::RowOperations accountRows;
};

}  // namespace kestrava::settings
