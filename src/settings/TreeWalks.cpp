#include "settings/TreeWalks.h"

#include "params/PBool.h"
#include "params/PButton.h"
#include "params/PCorvixKoekError.h"
#include "params/PEnum.h"
#include "params/PFloat.h"
#include "params/PInt.h"
#include "params/PListManager.h"
#include "params/PString.h"
#include "params/PSubLevel.h"
#include "settings/EncoderSettings.h"
#include "settings/LiveFields.h"
#include "settings/SectionNames.h"

#include <bitset>
#include <cstring>
#include <stdexcept>
#include <string>
#include <string_view>

namespace kestrava::settings {

using namespace params;

namespace {

ParamId nth(ParamId first, int n) { return static_cast<ParamId>(first + n); }

bool active(const PBool* p) { return p->isEnabled() && p->current(); }

// Takes (reads and clears) the flag that tells the walks a value changed since one last looked.
bool take(Param* p) { return p->valueChanged.take(anyView); }

template <std::size_t N>
std::string_view fieldView(const char (&text)[N]) {
    return {text, strnlen(text, N - 1)};
}
template <std::size_t N>
std::string_view fieldView(const std::array<char, N>& text) {
    return {text.data(), strnlen(text.data(), N - 1)};
}

// A text into a fixed field of `size` bytes: cut to size - 1 characters (and at a NUL), then
// terminated.
void copyInto(char* to, std::size_t size, std::string_view from) {
    const std::size_t nul = from.find('\0');
    if (nul != std::string_view::npos) from = from.substr(0, nul);
    const std::size_t n = std::min(from.size(), size - 1);
    std::memcpy(to, from.data(), n);
    to[n] = '\0';
}
template <std::size_t N>
void copyInto(std::array<char, N>& to, std::string_view from) {
    copyInto(to.data(), N, from);
}

bool textEmpty(const PString& p) {
    return p.inspectCurrent([](const std::string& s) { return s.empty() || s[0] == '\0'; });
}

// Whether two rows' texts agree in their first n characters, a NUL ending a text.
bool sameTextPrefix(const PString& a, const PString& b, std::size_t n) {
    char kept[65];
    const std::size_t limit = std::min(n, sizeof kept - 1);
    const std::size_t len = a.inspectCurrent([&](const std::string& s) {
        const std::size_t m = strnlen(s.c_str(), std::min(s.size(), limit));
        std::memcpy(kept, s.data(), m);
        return m;
    });
    return b.inspectCurrent([&](const std::string& s) {
        const std::size_t m = strnlen(s.c_str(), std::min(s.size(), limit));
        return m == len && std::memcmp(kept, s.data(), m) == 0;
    });
}

// The fields of EncoderSettings by row-table field; null for a field that lives elsewhere.
bool* boolField(EncoderSettings& e, Field f) {
    switch (f) {
        case Field::PlusMode: return &e.plusMode;
        case Field::VariableBitrate: return &e.variableBitrate;
        case Field::GpsOn: return &e.gpsOn;
        case Field::StreamProtection: return &e.streamProtection;
        case Field::TiltOn: return &e.tiltOn;
        default: return nullptr;
    }
}

std::int32_t* intField(EncoderSettings& e, Field f) {
    switch (f) {
        case Field::CodecVersion: return &e.codecVersion;
        case Field::BitrateV1: return &e.bitrateV1;
        case Field::Bitrate: return &e.bitrate;
        case Field::BitratePlus: return &e.bitratePlus;
        case Field::VbrNoiseLevel: return &e.vbrNoiseLevel;
        case Field::VbrMaxBitrate: return &e.vbrMaxBitrate;
        case Field::FecGroupSize: return &e.fecGroupSize;
        case Field::FecOverhead: return &e.fecOverhead;
        case Field::RateLimit: return &e.rateLimitMargin;
        case Field::GpsDevice: return &e.gpsDevice;
        case Field::GpsBaudRate: return &e.gpsBaudRate;
        case Field::InputDevice: return &e.inputDevice;
        default: return nullptr;
    }
}

float* floatField(EncoderSettings& e, Field f) {
    switch (f) {
        case Field::ResetInterval: return &e.keyframeInterval;
        case Field::GpsClockOffset: return &e.gpsClockOffset;
        case Field::GpsUsbDelay: return &e.gpsUsbDelay;
        case Field::InputGain: return &e.inputGain;
        case Field::TiltRc: return &e.tiltRc;
        default: return nullptr;
    }
}

struct TextField {
    char* text = nullptr;
    std::size_t size = 0;
};
TextField textField(EncoderSettings& e, Field f) {
    switch (f) {
        case Field::GpsDeviceName: return {e.gpsDeviceName, sizeof e.gpsDeviceName};
        case Field::StreamKey: return {e.activeStreamKeyHash, sizeof e.activeStreamKeyHash};
        case Field::StreamPassword: return {e.newStreamPassword, sizeof e.newStreamPassword};
        case Field::StreamKeyEntry: return {e.newStreamKeyHash, sizeof e.newStreamKeyHash};
        default: return {};
    }
}

// Resolves the creation-order list once: each call takes the next row and checks that it is the
// declared one.
class RowReader {
public:
    explicit RowReader(std::span<const std::unique_ptr<Param>> rows) : rows(rows) {}

    template <class P = Param>
    P* next(ParamId id) {
        if (at >= rows.size()) fail(id, "the tree ends early");
        Param* p = rows[at].get();
        if (p == nullptr || p->id() != id) fail(id, "another row stands here");
        auto* typed = dynamic_cast<P*>(p);
        if (typed == nullptr) fail(id, "the row has another class");
        ++at;
        return typed;
    }
    std::size_t position() const { return at; }

private:
    [[noreturn]] void fail(ParamId id, const char* why) const {
        throw std::logic_error("settings walks: row " + std::to_string(at) + " (id " + std::to_string(id) +
                               "): " + why);
    }
    std::span<const std::unique_ptr<Param>> rows;
    std::size_t at = 0;
};

Param* readMainRow(RowReader& r, const RowSpec& spec) {
    switch (spec.cls) {
        case Cls::Bool: return r.next<PBool>(spec.id);
        case Cls::Enum: return r.next<PEnum>(spec.id);
        case Cls::String: return r.next<PString>(spec.id);
        case Cls::Dec: return r.next<PDec>(spec.id);
        case Cls::Int: return r.next<PInt>(spec.id);
        case Cls::Float:
        case Cls::GainDb:
        case Cls::Tilt: return r.next<PFloat>(spec.id);
        case Cls::ListManager: return r.next<PListManager>(spec.id);
        case Cls::Button: return r.next<PButton>(spec.id);
        case Cls::DisplayText: return r.next<PDisplayText>(spec.id);
        case Cls::SubLevel: return r.next<PSubLevel>(spec.id);
        default: return r.next<Param>(spec.id);
    }
}

}  // namespace

TreeWalks::TreeWalks(std::span<const std::unique_ptr<Param>> rows, EncoderSettings& settings_, LiveFields& fields_)
    : settings(settings_), fields(fields_) {
    RowReader r(rows);
    for (const RowSpec& spec : encoderRowTable()) {
        switch (spec.cls) {
            case Cls::Section: continue;
            case Cls::Destinations:
                for (int i = 0; i < destinationCount; ++i) {
                    destinationRows[static_cast<std::size_t>(i)] = {
                        r.next<PBool>(nth(PARAM_KVRA_Enabled_0, i)), r.next<PString>(nth(PARAM_KVRA_IP_0, i)),
                        r.next<PDec>(nth(PARAM_KVRA_Port_0, i)), r.next<PEnum>(nth(PARAM_KVRA_Interface_0, i)),
                        r.next<PString>(nth(PARAM_KVRA_NAME_0, i))};
                }
                continue;
            case Cls::Accounts:
                openLogin = r.next<PSubLevel>(ID_OPEN_LOGIN);
                protection = r.next<PBool>(PARAM_PASSWORD_PROTECTIONON_ANY);
                pendingProtection = r.next<PBool>(NOSAVEPARAM_PASSWORD_PROTECTIONON_ANY);
                for (int k = 0; k < accountCount; ++k) {
                    committedAccounts[static_cast<std::size_t>(k)] = {
                        r.next<PBool>(nth(PARAM_PASSWORD_PROTECTIONON_0, k)),
                        r.next<PString>(nth(PARAM_PASSWORD_USERNAME_0, k)),
                        r.next<PString>(nth(PARAM_PASSWORD_STRING_0, k)),
                        r.next<PEnum>(nth(PARAM_PASSWORD_PROTECTION_MASK_ADMIN_0, k)),
                        r.next<PEnum>(nth(PARAM_PASSWORD_PROTECTION_MASK_QUICK_0, k))};
                }
                accountList = r.next<PListManager>(PARAM_LISTMANAGER_Login);
                for (int k = 0; k < accountCount; ++k) {
                    pendingAccounts[static_cast<std::size_t>(k)] = {
                        r.next<PBool>(nth(NOSAVEPARAM_PASSWORD_PROTECTIONON_0, k)),
                        r.next<PString>(nth(NOSAVEPARAM_PASSWORD_USERNAME_0, k)),
                        r.next<PString>(nth(NOSAVEPARAM_PASSWORD_STRING_0, k)),
                        r.next<PString>(nth(NOSAVEPARAM_PASSWORD2_STRING_0, k)),
                        r.next<PHr>(nth(ID_OPEN_PASSWORD_PROTECTION_MASKS_0, k)),
                        r.next<PEnum>(nth(NOSAVEPARAM_PASSWORD_PROTECTION_MASK_ADMIN_0, k)),
                        r.next<PEnum>(nth(NOSAVEPARAM_PASSWORD_PROTECTION_MASK_QUICK_0, k))};
                }
                openAccount = r.next<PSubLevel>(ID_OPEN_ACCOUNT);
                accountInfo = r.next<PHr>(ID_OPEN_PASSWORD_INFO);
                accountText = r.next<PDisplayText>(ID_OPEN_ACCOUNT_TEXT);
                for (int s = 0; s < loginSlotCount; ++s) {
                    logins[static_cast<std::size_t>(s)] = {
                        r.next<PHr>(nth(ID_OPEN_PASSWORD_LOGIN1_0, s)),
                        r.next<PHr>(nth(ID_OPEN_PASSWORD_LOGOUT1_0, s)),
                        r.next<PString>(nth(NOSAVEPARAM_USERNAME2_0, s)),
                        r.next<PString>(nth(NOSAVEPARAM_PASSWORD2_0, s)),
                        r.next<PButton>(nth(NOSAVEPARAM_PASSWORD_LOGIN2_0, s)),
                        r.next<PString>(nth(NOPARAM_LoggedInAs_0, s)),
                        r.next<PButton>(nth(NOSAVEPARAM_PASSWORD_LOGOUT2_0, s)),
                        r.next<PDisplayText>(nth(NOSAVEPARAM_RIGHTS_ISSUE_0, s))};
                }
                accountPageTail = {r.next<PSubLevel>(ID_SUBLEVEL_PASSWORD_LOGIN),
                                   r.next<PHr>(ID_SUBLEVEL_PASSWORD_LOGIN_USERACCOUNTS),
                                   r.next<PSubLevel>(ID_SUBLEVEL_PASSWORD_ACCOUNTS),
                                   r.next<PHr>(ID_OPEN_PASSWORD_ACCOUNTS_MORE),
                                   r.next<PHr>(ID_OPEN_PASSWORD_ACCOUNTS_ACTIVATE)};
                applyAccounts = r.next<PButton>(NOSAVEPARAM_PASSWORD_ACTIVATE);
                continue;
            default: break;
        }
        Param* p = readMainRow(r, spec);
        mainRows.push_back(p);
        switch (spec.id) {
            case PARAM_WebserverEnable: webEnable = static_cast<PBool*>(p); break;
            case PARAM_KVRA_Version: version = static_cast<PEnum*>(p); break;
            case PARAM_KVRA_PlusEnabled: plus = static_cast<PBool*>(p); break;
            case PARAM_KVRA_VariableBitrate: variableBitrate = static_cast<PBool*>(p); break;
            case PARAM_KVRA_gps_stamping_enabled: gpsOn = static_cast<PBool*>(p); break;
            case PARAM_KVRA_GpsNmeaDeviceSelection: gpsDevice = static_cast<PEnum*>(p); break;
            case NOSAVEPARAM_has_nmea_timestamps: nmeaData = static_cast<PBool*>(p); break;
            case PARAM_KVRA_PasswordProtectStream: protectStream = static_cast<PBool*>(p); break;
            case PARAM_inputtilt_on: tiltOn = static_cast<PBool*>(p); break;
            case PARAM_KVRA_OUTPUTCOUNT: destinationList = static_cast<PListManager*>(p); break;
            default: break;
        }
    }
    if (r.position() != rows.size()) throw std::logic_error("settings walks: the tree has rows past its end");
    if (webEnable == nullptr || version == nullptr || plus == nullptr || variableBitrate == nullptr ||
        gpsOn == nullptr || gpsDevice == nullptr || nmeaData == nullptr || protectStream == nullptr ||
        tiltOn == nullptr || destinationList == nullptr) {
        throw std::logic_error("settings walks: a controlling row is missing");
    }
    rowCount_ = static_cast<std::int32_t>(rows.size());
}

WalkCursor TreeWalks::storeParamsToSettings() { return walk<Mode::store>(); }
WalkCursor TreeWalks::loadParamsFromSettings() { return walk<Mode::load>(); }
WalkCursor TreeWalks::refreshVisibility() { return walk<Mode::visibility>(); }
WalkCursor TreeWalks::refreshEnabledStates() { return walk<Mode::enabled>(); }

template <TreeWalks::Mode M>
WalkCursor TreeWalks::walk() {
    WalkCursor c;
    c.section = &sectionName(-1);
    WalkState w;
    std::size_t k = 0;
    for (const RowSpec& spec : encoderRowTable()) {
        switch (spec.cls) {
            case Cls::Section: c.section = &sectionName(spec.arg); continue;
            case Cls::Destinations: destinations<M>(c); continue;
            case Cls::Accounts:
                c.section = &sectionName(SectionEntry::userRights);
                accountSettings<M>(c, w);
                accountPage<M>(c, w);
                continue;
            default: break;
        }
        mainRow<M>(spec, *mainRows[k++], w);
        ++c.position;
    }
    return c;
}

template <TreeWalks::Mode M>
void TreeWalks::mainRow(const RowSpec& spec, Param& p, WalkState& w) {
    if constexpr (M == Mode::store) storeRow(spec, p);
    if constexpr (M == Mode::load) loadRow(spec, p);
    if constexpr (M == Mode::enabled) {
        // Sections and the error list have no enabled state of their own.
        if (spec.cls != Cls::SubLevel && spec.cls != Cls::ErrorList) p.setEnabled(enabledBy(spec.enabled, w));
    }
    if (&p == plus) w.plusActive = active(plus);
    if (spec.shown != Shown::NoRule) p.setShown(shownBy(spec.shown, w));
    if (spec.id == PARAM_KVRA_TRPMaxBytesPerSecond) static_cast<PInt&>(p).setCompanionValue(settings.totalBitrate);
}

bool TreeWalks::shownBy(Shown rule, const WalkState& w) const {
    return shownByRule(rule, version->current(), w.plusActive, gpsDevice->current());
}

bool TreeWalks::enabledBy(Enabled rule, const WalkState& w) const {
    switch (rule) {
        case Enabled::Always: return true;
        case Enabled::Never: return false;
        case Enabled::WebOn: return active(webEnable);
        case Enabled::PlusCapable: return version->current() >= 3;
        case Enabled::PlusActive: return w.plusActive;
        case Enabled::VbrActive: return active(variableBitrate);
        case Enabled::GpsOn: return active(gpsOn);
        case Enabled::GpsNamed: return gpsDevice->isEnabled() && gpsDevice->current() == -1;
        case Enabled::GpsClock: return gpsDevice->isEnabled() && gpsDevice->current() == -2;
        case Enabled::GpsDeviceEnabled: return gpsDevice->isEnabled();
        case Enabled::NmeaData: return nmeaData->current();
        case Enabled::KeyPresent: return settings.streamKeyPresent;
        case Enabled::StreamProtected: return active(protectStream);
        case Enabled::PasswordEntered: return settings.newStreamPassword[0] != '\0';
        case Enabled::KeyEntered: return settings.newStreamKeyHash[0] != '\0';
        case Enabled::TiltOn: return active(tiltOn);
    }
    return true;
}

void TreeWalks::storeRow(const RowSpec& spec, Param& p) {
    const Field f = spec.field;
    switch (spec.cls) {
        case Cls::Bool: {
            const bool v = static_cast<PBool&>(p).current();
            if (bool* to = boolField(settings, f)) {
                *to = v;
            } else {
                fields.setBool(f, v);
            }
            break;
        }
        case Cls::Enum:
        case Cls::Dec:
        case Cls::Int:
        case Cls::ListManager: {
            // A whole number field takes the low 32 bits.
            const auto v = spec.cls == Cls::Enum ? static_cast<PEnum&>(p).current()
                                                 : static_cast<std::int32_t>(static_cast<PInt&>(p).current());
            if (std::int32_t* to = intField(settings, f)) {
                *to = v;
            } else {
                fields.setInt(f, v);
            }
            break;
        }
        case Cls::Float:
        case Cls::GainDb:
        case Cls::Tilt:
            if (float* to = floatField(settings, f)) *to = static_cast<PFloat&>(p).current();
            break;
        case Cls::String: {
            auto& s = static_cast<PString&>(p);
            if (f == Field::StreamKey) {
                streamKeyStep(s);
            } else if (s.takeChangedSinceStore() && f != Field::ProgramVersion) {
                const TextField to = textField(settings, f);
                if (to.text != nullptr) {
                    s.inspectCurrent([&](const std::string& v) { copyInto(to.text, to.size, v); });
                } else {
                    fields.setText(f, s.current());
                }
            }
            break;
        }
        case Cls::DisplayText:
            // Shown, not edited: filled from its field by every walk that moves values.
            static_cast<PDisplayText&>(p).setValue(fields.getText(f));
            break;
        default: break;
    }
}

void TreeWalks::streamKeyStep(PString& row) {
    char* key = settings.activeStreamKeyHash;
    constexpr std::size_t keyChars = sizeof settings.activeStreamKeyHash - 1;
    char kept[keyChars + 1];
    copyInto(kept, sizeof kept, std::string_view(key, strnlen(key, keyChars)));
    key[keyChars] = '\0';
    if (row.takeChangedSinceStore()) {
        row.inspectCurrent([&](const std::string& v) { copyInto(key, keyChars + 1, v); });
    }
    if (std::strncmp(kept, key, keyChars) != 0) {
        fields.setStreamKey(key);
        key[keyChars] = '\0';
    }
}

void TreeWalks::loadRow(const RowSpec& spec, Param& p) {
    const Field f = spec.field;
    switch (spec.cls) {
        case Cls::Bool: {
            const bool* from = boolField(settings, f);
            static_cast<PBool&>(p).setValue(from != nullptr ? *from : fields.getBool(f));
            break;
        }
        case Cls::Enum:
        case Cls::Dec:
        case Cls::Int:
        case Cls::ListManager: {
            const std::int32_t* from = intField(settings, f);
            const std::int32_t v = from != nullptr ? *from : fields.getInt(f);
            if (spec.cls == Cls::Enum) {
                static_cast<PEnum&>(p).setValue(v);
            } else {
                static_cast<PInt&>(p).setValue(v);
            }
            break;
        }
        case Cls::Float:
        case Cls::GainDb:
        case Cls::Tilt:
            if (const float* from = floatField(settings, f)) static_cast<PFloat&>(p).setValue(*from);
            break;
        case Cls::String: {
            const TextField from = textField(settings, f);
            auto& s = static_cast<PString&>(p);
            if (from.text != nullptr) {
                s.setValue(std::string(from.text, strnlen(from.text, from.size - 1)));
            } else {
                s.setValue(fields.getText(f));
            }
            break;
        }
        case Cls::DisplayText: static_cast<PDisplayText&>(p).setValue(fields.getText(f)); break;
        default: break;
    }
}

template <TreeWalks::Mode M>
void TreeWalks::destinations(WalkCursor& c) {
    EncoderSettings& e = settings;
    // Rows are marked in use after the last group: marking lays the list out again, and hiding
    // a row forgets its change flags, which would lose a change of a later row of the same walk.
    std::bitset<destinationCount> inUseRows;
    for (std::size_t i = 0; i < destinationRows.size(); ++i) {
        const DestinationRows& d = destinationRows[i];
        if constexpr (M == Mode::store) e.destinationOn[i] = d.on->current();
        if constexpr (M == Mode::load) d.on->setValue(e.destinationOn[i]);
        if constexpr (M == Mode::enabled) d.on->setEnabled(true);
        bool inUse = take(d.on);
        const bool on = active(d.on);

        if constexpr (M == Mode::store) {
            if (d.host->takeChangedSinceStore()) {
                d.host->inspectCurrent([&](const std::string& v) { copyInto(e.destinationHost[i], v); });
            }
        }
        if constexpr (M == Mode::load) d.host->setValue(std::string(fieldView(e.destinationHost[i])));
        if constexpr (M == Mode::enabled) d.host->setEnabled(on);
        inUse = take(d.host) || inUse;

        if constexpr (M == Mode::store) e.destinationPort[i] = static_cast<std::int32_t>(d.port->current());
        if constexpr (M == Mode::load) d.port->setValue(e.destinationPort[i]);
        if constexpr (M == Mode::enabled) d.port->setEnabled(on);
        inUse = take(d.port) || inUse;

        if constexpr (M == Mode::store) e.destinationNic[i] = d.nic->current();
        if constexpr (M == Mode::load) d.nic->setValue(e.destinationNic[i]);
        if constexpr (M == Mode::enabled) d.nic->setEnabled(on);
        if (take(d.nic)) {
            copyInto(e.destinationInterface[i], d.nic->saveText(0));
            inUse = true;
        }

        // The description alone does not make a destination in use.
        if constexpr (M == Mode::store) {
            if (d.description->takeChangedSinceStore()) {
                d.description->inspectCurrent(
                    [&](const std::string& v) { copyInto(e.destinationDescription[i], v); });
            }
        }
        if constexpr (M == Mode::load) d.description->setValue(std::string(fieldView(e.destinationDescription[i])));
        if constexpr (M == Mode::enabled) d.description->setEnabled(on);

        inUseRows[i] = inUse;
        c.position += 5;
    }
    for (std::size_t i = 0; i < destinationRows.size(); ++i) {
        if (inUseRows[i]) destinationList->markRowUsed(static_cast<std::int64_t>(i));
    }
}

template <TreeWalks::Mode M>
void TreeWalks::accountSettings(WalkCursor& c, WalkState& w) {
    const auto storeBool = [&](PBool* row, AccountField f, int k, Side side) {
        if constexpr (M == Mode::store) fields.setAccountBool(f, k, side, row->current());
        if constexpr (M == Mode::load) row->setValue(fields.accountBool(f, k, side));
    };
    const auto storeInt = [&](PEnum* row, AccountField f, int k, Side side) {
        if constexpr (M == Mode::store) fields.setAccountInt(f, k, side, row->current());
        if constexpr (M == Mode::load) row->setValue(fields.accountInt(f, k, side));
    };
    const auto storeText = [&](PString* row, AccountField f, int k, Side side) {
        if constexpr (M == Mode::store) {
            if (row->takeChangedSinceStore()) fields.setAccountText(f, k, side, row->current());
        }
        if constexpr (M == Mode::load) row->setValue(fields.accountText(f, k, side));
    };

    c.position += 1;  // the section row
    storeBool(protection, AccountField::protectionOn, 0, Side::committed);
    if constexpr (M == Mode::enabled) protection->setEnabled(true);
    storeBool(pendingProtection, AccountField::protectionOn, 0, Side::pending);
    if constexpr (M == Mode::enabled) pendingProtection->setEnabled(true);
    w.protectionChanged = take(pendingProtection);
    w.pendingProtection = active(pendingProtection);
    c.position += 2;

    for (int k = 0; k < accountCount; ++k) {
        const CommittedAccountRows& a = committedAccounts[static_cast<std::size_t>(k)];
        storeBool(a.on, AccountField::enabled, k, Side::committed);
        if constexpr (M == Mode::enabled) a.on->setEnabled(w.pendingProtection);
        const bool on = active(a.on);
        storeText(a.userName, AccountField::userName, k, Side::committed);
        storeText(a.passwordHash, AccountField::passwordHash, k, Side::committed);
        storeInt(a.admin, AccountField::adminAccess, k, Side::committed);
        storeInt(a.settings, AccountField::settingsAccess, k, Side::committed);
        if constexpr (M == Mode::enabled) {
            for (Param* p : {static_cast<Param*>(a.userName), static_cast<Param*>(a.passwordHash),
                             static_cast<Param*>(a.admin), static_cast<Param*>(a.settings)}) {
                p->setEnabled(on);
            }
        }
        c.position += 5;
    }

    if constexpr (M == Mode::store) {
        fields.setAccountInt(AccountField::activeAccountCount, 0, Side::committed,
                             static_cast<std::int32_t>(accountList->current()));
    }
    if constexpr (M == Mode::load) {
        accountList->setValue(fields.accountInt(AccountField::activeAccountCount, 0, Side::committed));
    }
    if constexpr (M == Mode::enabled) accountList->setEnabled(w.pendingProtection);
    c.position += 1;

    std::bitset<accountCount> changedAccounts;
    for (int k = 0; k < accountCount; ++k) {
        const PendingAccountRows& a = pendingAccounts[static_cast<std::size_t>(k)];
        storeBool(a.on, AccountField::enabled, k, Side::pending);
        if constexpr (M == Mode::enabled) a.on->setEnabled(w.pendingProtection);
        const bool on = active(a.on);
        storeText(a.userName, AccountField::userName, k, Side::pending);
        storeText(a.password, AccountField::passwordHash, k, Side::pending);
        storeText(a.repeat, AccountField::passwordRepeat, k, Side::pending);
        storeInt(a.admin, AccountField::adminAccess, k, Side::pending);
        storeInt(a.settings, AccountField::settingsAccess, k, Side::pending);
        if constexpr (M == Mode::enabled) {
            for (Param* p : {static_cast<Param*>(a.userName), static_cast<Param*>(a.password),
                             static_cast<Param*>(a.repeat), a.heading, static_cast<Param*>(a.admin),
                             static_cast<Param*>(a.settings)}) {
                p->setEnabled(on);
            }
        }
        // Every flag is taken, whatever the others hold.
        bool changed = take(a.on);
        changed = take(a.userName) || changed;
        changed = take(a.password) || changed;
        changed = take(a.repeat) || changed;
        changed = take(a.admin) || changed;
        changed = take(a.settings) || changed;
        changedAccounts[static_cast<std::size_t>(k)] = changed;
        if (changed || w.protectionChanged) fields.checkAccountRow(k);
        c.position += 7;
    }
    // As with the destinations, after the last group.
    for (int k = 0; k < accountCount; ++k) {
        if (changedAccounts[static_cast<std::size_t>(k)]) accountList->markRowUsed(k);
    }
}

template <TreeWalks::Mode M>
void TreeWalks::accountPage(WalkCursor& c, WalkState& w) {
    const bool protectionOn = active(protection);
    const bool loginEditable = protectionOn || w.pendingProtection;

    openAccount->setShown(protectionOn);
    for (Param* p : {accountInfo, accountText}) {
        if constexpr (M == Mode::enabled) p->setEnabled(true);
        p->setShown(!protectionOn);
    }
    c.position += 3;

    for (int s = 0; s < loginSlotCount; ++s) {
        const LoginRows& l = logins[static_cast<std::size_t>(s)];
        const bool loggedIn = fields.loggedIn(s);
        // The program's own client (slot 0) never logs in.
        const bool loginForm = s >= 1 && protectionOn && !loggedIn;
        const bool loggedInState = s >= 1 && protectionOn && loggedIn;

        if constexpr (M == Mode::enabled) l.loginHeading->setEnabled(protectionOn);
        l.loginHeading->setShown(loginForm);
        if constexpr (M == Mode::enabled) l.logoutHeading->setEnabled(protectionOn);
        l.logoutHeading->setShown(loggedInState);

        if constexpr (M == Mode::store) {
            if (l.userName->takeChangedSinceStore()) {
                fields.setLoginText(LoginField::userNameEntry, s, l.userName->current());
            }
            if (l.password->takeChangedSinceStore()) {
                fields.setLoginText(LoginField::passwordEntry, s, l.password->current());
            }
        }
        if constexpr (M == Mode::load) {
            l.userName->setValue(fields.loginText(LoginField::userNameEntry, s));
            l.password->setValue(fields.loginText(LoginField::passwordEntry, s));
        }
        if constexpr (M == Mode::enabled) {
            l.userName->setEnabled(loginEditable);
            l.password->setEnabled(loginEditable);
        }
        // A changed user name clears the marks of both fields, a changed password its own.
        if (take(l.userName)) {
            fields.clearLoginErrorMark(LoginField::userNameEntry, s);
            fields.clearLoginErrorMark(LoginField::passwordEntry, s);
        }
        if (take(l.password)) fields.clearLoginErrorMark(LoginField::passwordEntry, s);

        if constexpr (M == Mode::enabled) l.logIn->setEnabled(!textEmpty(*l.userName) && !textEmpty(*l.password));
        l.logIn->setShown(loginForm);

        if constexpr (M == Mode::store) {
            if (l.loggedInAs->takeChangedSinceStore()) {
                fields.setLoginText(LoginField::loggedInAs, s, l.loggedInAs->current());
            }
        }
        if constexpr (M == Mode::load) l.loggedInAs->setValue(fields.loginText(LoginField::loggedInAs, s));
        if constexpr (M == Mode::enabled) {
            l.loggedInAs->setEnabled(loggedIn);
            l.logOut->setEnabled(loggedIn);
            l.rightsIssue->setEnabled(true);
        }
        l.loggedInAs->setShown(loggedInState);
        l.logOut->setShown(loggedInState);
        c.position += 8;
    }

    if constexpr (M == Mode::enabled) {
        // The two sections are stepped over; the three headings are enabled.
        for (const std::size_t heading : {1u, 3u, 4u}) accountPageTail[heading]->setEnabled(true);
        applyAccounts->setEnabled(accountChangesPending());
    }
    c.position += static_cast<std::int32_t>(accountPageTail.size()) + 1;
}

bool TreeWalks::accountChangesPending() const {
    if (protection->current() != pendingProtection->current()) return true;
    for (int k = 0; k < accountCount; ++k) {
        const CommittedAccountRows& c = committedAccounts[static_cast<std::size_t>(k)];
        const PendingAccountRows& p = pendingAccounts[static_cast<std::size_t>(k)];
        if (!sameTextPrefix(*c.userName, *p.userName, 32)) return true;
        if (c.on->current() != p.on->current()) return true;
        if (!textEmpty(*p.password) || !textEmpty(*p.repeat)) return true;
        if (c.admin->current() != p.admin->current()) return true;
        if (c.settings->current() != p.settings->current()) return true;
    }
    return false;
}

}  // namespace kestrava::settings
