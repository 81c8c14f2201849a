#pragma once

#include "settings/RowTable.h"
#include "settings/TreeSources.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace kestrava::params {
class Param;
}

namespace kestrava::settings {

// The fields of an account, and the account settings as a whole.
enum class AccountField : std::uint8_t {
    protectionOn,        // index ignored
    activeAccountCount,  // index ignored, committed side only
    enabled,
    userName,
    passwordHash,
    passwordRepeat,  // pending side only
    adminAccess,
    settingsAccess,
};
enum class Side : std::uint8_t { committed, pending };

// The fields of a client view's login slot: the typed entries (their pending sides) and the name
// the slot is logged in as.
enum class LoginField : std::uint8_t { userNameEntry, passwordEntry, loggedInAs };

// The live fields of an instance that are not in EncoderSettings, as the walks over the settings
// tree read and write them: the web-interface settings and status texts (by their row-table
// field), the accounts and the login slots, and the few actions the walks start. The instance
// implements it over its own records; InstanceFields below is a plain one.
class LiveFields {
public:
    virtual ~LiveFields() = default;

    virtual bool getBool(Field f) const = 0;
    virtual void setBool(Field f, bool v) = 0;
    virtual std::int32_t getInt(Field f) const = 0;
    virtual void setInt(Field f, std::int32_t v) = 0;
    virtual std::string getText(Field f) const = 0;
    virtual void setText(Field f, std::string_view v) = 0;

    virtual bool accountBool(AccountField f, int account, Side side) const = 0;
    virtual void setAccountBool(AccountField f, int account, Side side, bool v) = 0;
    virtual std::int32_t accountInt(AccountField f, int account, Side side) const = 0;
    virtual void setAccountInt(AccountField f, int account, Side side, std::int32_t v) = 0;
    virtual std::string accountText(AccountField f, int account, Side side) const = 0;
    virtual void setAccountText(AccountField f, int account, Side side, std::string_view v) = 0;

    virtual std::string loginText(LoginField f, int slot) const = 0;
    virtual void setLoginText(LoginField f, int slot, std::string_view v) = 0;
    // Read by the visibility and enabled-state walks before every request: must not allocate.
    virtual bool loggedIn(int slot) const = 0;

    // A new stream key reached the live settings: the instance takes it and applies at once.
    virtual void setStreamKey(const char* key) = 0;
    // Re-evaluates the error marks of an account's pending rows.
    virtual void checkAccountRow(int account) = 0;
    // The value of a login field changed: its error mark, when set, is cleared and the field
    // redrawn (redrawField).
    virtual void clearLoginErrorMark(LoginField field, int slot) = 0;
};

// Sends a field's state to every client again without telling the walks of a change: views 0 to
// 29 are marked, the flag of view 30 keeps its state.
void redrawField(params::Param& p);

// The fields kept as plain members, starting from the values the tree's defaults came from.
class InstanceFields : public LiveFields {
public:
    explicit InstanceFields(const TreeSources& sources);

    bool getBool(Field f) const override;
    void setBool(Field f, bool v) override;
    std::int32_t getInt(Field f) const override;
    void setInt(Field f, std::int32_t v) override;
    std::string getText(Field f) const override;
    void setText(Field f, std::string_view v) override;
    bool accountBool(AccountField f, int account, Side side) const override;
    void setAccountBool(AccountField f, int account, Side side, bool v) override;
    std::int32_t accountInt(AccountField f, int account, Side side) const override;
    void setAccountInt(AccountField f, int account, Side side, std::int32_t v) override;
    std::string accountText(AccountField f, int account, Side side) const override;
    void setAccountText(AccountField f, int account, Side side, std::string_view v) override;
    std::string loginText(LoginField f, int slot) const override;
    void setLoginText(LoginField f, int slot, std::string_view v) override;
    bool loggedIn(int slot) const override;
    void setStreamKey(const char* key) override;
    void checkAccountRow(int account) override;
    void clearLoginErrorMark(LoginField field, int slot) override;

    std::string programVersion;
    bool webEnabled = true;
    std::int32_t webPort = 8080;
    std::string webWhiteList;
    bool webLowBandwidth = false;
    bool gpsLockStatus = false;
    bool nmeaDataStatus = false;
    std::string nmeaTimestampText;
    std::string gpsEncoderOffsetText;
    std::string gpsStamperSampleRateText;
    std::string ancillaryDataText;
    std::int32_t activeDestinationCount = 1;
    AccountDefaults accounts;
    std::array<LoginSlotDefaults, loginSlotCount> logins{};

private:
    AccountSide* side(int account, Side s);
    const AccountSide* side(int account, Side s) const;
    LoginSlotDefaults* slot(int n);
    const LoginSlotDefaults* slot(int n) const;
};

}  // namespace kestrava::settings
