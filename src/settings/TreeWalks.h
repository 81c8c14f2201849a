#pragma once

#include "params/NamePair.h"
#include "params/Param.h"
#include "settings/EncoderSettingsTree.h"
#include "settings/RowTable.h"

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace kestrava::params {
class PBool;
class PDec;
class PEnum;
class PFloat;
class PInt;
class PListManager;
class PString;
}  // namespace kestrava::params

namespace kestrava::settings {

struct EncoderSettings;
class LiveFields;

// Where a walk stands: the rows passed and the settings-file section of the last one.
struct WalkCursor {
    std::int32_t position = 0;
    const params::NamePair* section = nullptr;
};

// The four walks over the settings tree. Each replays the declaration (the row table and the
// generated families) in creation order, does its own step at each row, applies the row's shown
// rule, and performs at fixed rows the bookkeeping every walk shares, in a fixed order, since
// whichever walk runs first after a change consumes the rows' change flags:
// - the rate limiter shows the stream's total rate beside its value;
// - a destination whose On, IP, Port or NIC changed is marked in use in the destination list, and
//   a changed NIC puts its interface name into the live settings;
// - an account whose pending rows changed is marked in use and re-checked (all ten when the
//   pending protection switch changed);
// - a changed login field loses its error mark.
//
// Rows are reached by position: the tree is resolved once, here, and never changes. A walk takes
// no lock; its callers keep walks from overlapping (SettingsWalkDriver). The enabled-state walk
// runs before every web request and allocates nothing.
class TreeWalks {
public:
    // `rows` is a tree built by buildEncoderSettings, in creation order. Throws std::logic_error
    // when a row is not the one the declaration puts at its place.
    TreeWalks(std::span<const std::unique_ptr<params::Param>> rows, EncoderSettings& settings, LiveFields& fields);
    TreeWalks(const TreeWalks&) = delete;
    TreeWalks& operator=(const TreeWalks&) = delete;

    // Parameters into the live settings and the instance's fields. Texts are copied only when
    // their row's text changed; a changed stream key is handed to the instance at once.
    WalkCursor storeParamsToSettings();
    // The live settings and fields into the parameters (after a settings file was applied).
    WalkCursor loadParamsFromSettings();
    // The shown states that follow other settings.
    WalkCursor refreshVisibility();
    // The enabled states (and the shown states that follow the same values).
    WalkCursor refreshEnabledStates();

    // The rows' count, for the cursor's end.
    std::int32_t rowCount() const noexcept { return rowCount_; }

private:
    enum class Mode { store, load, visibility, enabled };

    struct DestinationRows {
        params::PBool* on;
        params::PString* host;
        params::PDec* port;
        params::PEnum* nic;
        params::PString* description;
    };
    struct CommittedAccountRows {
        params::PBool* on;
        params::PString* userName;
        params::PString* passwordHash;
        params::PEnum* admin;
        params::PEnum* settings;
    };
    struct PendingAccountRows {
        params::PBool* on;
        params::PString* userName;
        params::PString* password;
        params::PString* repeat;
        params::Param* heading;
        params::PEnum* admin;
        params::PEnum* settings;
    };
    struct LoginRows {
        params::Param* loginHeading;
        params::Param* logoutHeading;
        params::PString* userName;
        params::PString* password;
        params::Param* logIn;
        params::PString* loggedInAs;
        params::Param* logOut;
        params::Param* rightsIssue;
    };
    // Per walk: what the rules read of rows passed earlier in the same walk.
    struct WalkState {
        bool plusActive = false;
        bool pendingProtection = false;
        bool protectionChanged = false;
    };

    template <Mode M>
    WalkCursor walk();
    template <Mode M>
    void mainRow(const RowSpec& spec, params::Param& p, WalkState& w);
    template <Mode M>
    void destinations(WalkCursor& c);
    template <Mode M>
    void accountSettings(WalkCursor& c, WalkState& w);
    template <Mode M>
    void accountPage(WalkCursor& c, WalkState& w);

    void storeRow(const RowSpec& spec, params::Param& p);
    void loadRow(const RowSpec& spec, params::Param& p);
    bool enabledBy(Enabled rule, const WalkState& w) const;
    bool shownBy(Shown rule, const WalkState& w) const;
    void streamKeyStep(params::PString& row);
    bool accountChangesPending() const;

    EncoderSettings& settings;
    LiveFields& fields;
    std::int32_t rowCount_ = 0;

    std::vector<params::Param*> mainRows;  // the table's own rows, in table order
    std::array<DestinationRows, destinationCount> destinationRows{};
    params::Param* openLogin = nullptr;
    params::PBool* protection = nullptr;
    params::PBool* pendingProtection = nullptr;
    std::array<CommittedAccountRows, accountCount> committedAccounts{};
    params::PListManager* accountList = nullptr;
    std::array<PendingAccountRows, accountCount> pendingAccounts{};
    params::Param* openAccount = nullptr;
    params::Param* accountInfo = nullptr;
    params::Param* accountText = nullptr;
    std::array<LoginRows, loginSlotCount> logins{};
    std::array<params::Param*, 5> accountPageTail{};  // two sections and three headings
    params::Param* applyAccounts = nullptr;

    // Controlling rows the rules read.
    params::PBool* webEnable = nullptr;
    params::PEnum* version = nullptr;
    params::PBool* plus = nullptr;
    params::PBool* variableBitrate = nullptr;
    params::PBool* gpsOn = nullptr;
    params::PEnum* gpsDevice = nullptr;
    params::PBool* nmeaData = nullptr;
    params::PBool* protectStream = nullptr;
    params::PBool* tiltOn = nullptr;
    params::PListManager* destinationList = nullptr;
};

}  // namespace kestrava::settings
