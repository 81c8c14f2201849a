#include "settings/LiveFields.h"

#include "params/Param.h"

namespace kestrava::settings {

void redrawField(params::Param& p) {
    p.valueChanged.raise(params::allViewBits & ~params::anyViewBit);
    p.markChanged();
}

InstanceFields::InstanceFields(const TreeSources& s)
    : programVersion(s.programVersion),
      webEnabled(s.webEnabled),
      webPort(s.webPort),
      webWhiteList(s.webWhiteList),
      webLowBandwidth(s.webLowBandwidth),
      gpsLockStatus(s.gpsLockStatus),
      nmeaDataStatus(s.nmeaDataStatus),
      nmeaTimestampText(s.nmeaTimestampText),
      gpsEncoderOffsetText(s.gpsEncoderOffsetText),
      gpsStamperSampleRateText(s.gpsStamperSampleRateText),
      ancillaryDataText(s.ancillaryDataText),
      activeDestinationCount(s.activeDestinationCount),
      accounts(s.accounts),
      logins(s.logins) {}

bool InstanceFields::getBool(Field f) const {
    switch (f) {
        case Field::WebEnabled: return webEnabled;
        case Field::WebLowBandwidth: return webLowBandwidth;
        case Field::GpsLock: return gpsLockStatus;
        case Field::NmeaData: return nmeaDataStatus;
        default: return false;
    }
}

void InstanceFields::setBool(Field f, bool v) {
    switch (f) {
        case Field::WebEnabled: webEnabled = v; break;
        case Field::WebLowBandwidth: webLowBandwidth = v; break;
        case Field::GpsLock: gpsLockStatus = v; break;
        case Field::NmeaData: nmeaDataStatus = v; break;
        default: break;
    }
}

std::int32_t InstanceFields::getInt(Field f) const {
    switch (f) {
        case Field::WebPort: return webPort;
        case Field::ActiveDestinationCount: return activeDestinationCount;
        default: return 0;
    }
}

void InstanceFields::setInt(Field f, std::int32_t v) {
    switch (f) {
        case Field::WebPort: webPort = v; break;
        case Field::ActiveDestinationCount: activeDestinationCount = v; break;
        default: break;
    }
}

std::string InstanceFields::getText(Field f) const {
    switch (f) {
        case Field::ProgramVersion: return programVersion;
        case Field::WebWhiteList: return webWhiteList;
        case Field::NmeaTimestampText: return nmeaTimestampText;
        case Field::GpsEncoderOffsetText: return gpsEncoderOffsetText;
        case Field::GpsStamperSampleRateText: return gpsStamperSampleRateText;
        case Field::AncillaryData: return ancillaryDataText;
        default: return {};
    }
}

void InstanceFields::setText(Field f, std::string_view v) {
    switch (f) {
        case Field::WebWhiteList: webWhiteList = v; break;
        case Field::NmeaTimestampText: nmeaTimestampText = v; break;
        case Field::GpsEncoderOffsetText: gpsEncoderOffsetText = v; break;
        case Field::GpsStamperSampleRateText: gpsStamperSampleRateText = v; break;
        case Field::AncillaryData: ancillaryDataText = v; break;
        default: break;
    }
}

AccountSide* InstanceFields::side(int account, Side s) {
    if (account < 0 || account >= accountCount) return nullptr;
    auto& sides = s == Side::committed ? accounts.committed : accounts.pending;
    return &sides[static_cast<std::size_t>(account)];
}

const AccountSide* InstanceFields::side(int account, Side s) const {
    return const_cast<InstanceFields*>(this)->side(account, s);
}

bool InstanceFields::accountBool(AccountField f, int account, Side s) const {
    if (f == AccountField::protectionOn) {
        return s == Side::committed ? accounts.protectionOn : accounts.pendingProtectionOn;
    }
    const AccountSide* a = side(account, s);
    return a != nullptr && f == AccountField::enabled && a->enabled;
}

void InstanceFields::setAccountBool(AccountField f, int account, Side s, bool v) {
    if (f == AccountField::protectionOn) {
        (s == Side::committed ? accounts.protectionOn : accounts.pendingProtectionOn) = v;
        return;
    }
    AccountSide* a = side(account, s);
    if (a != nullptr && f == AccountField::enabled) a->enabled = v;
}

std::int32_t InstanceFields::accountInt(AccountField f, int account, Side s) const {
    if (f == AccountField::activeAccountCount) return accounts.activeAccountCount;
    const AccountSide* a = side(account, s);
    if (a == nullptr) return 0;
    if (f == AccountField::adminAccess) return a->adminAccess;
    if (f == AccountField::settingsAccess) return a->settingsAccess;
    return 0;
}

void InstanceFields::setAccountInt(AccountField f, int account, Side s, std::int32_t v) {
    if (f == AccountField::activeAccountCount) {
        accounts.activeAccountCount = v;
        return;
    }
    AccountSide* a = side(account, s);
    if (a == nullptr) return;
    if (f == AccountField::adminAccess) a->adminAccess = v;
    if (f == AccountField::settingsAccess) a->settingsAccess = v;
}

std::string InstanceFields::accountText(AccountField f, int account, Side s) const {
    if (f == AccountField::passwordRepeat) {
        if (account < 0 || account >= accountCount) return {};
        return accounts.passwordRepeat[static_cast<std::size_t>(account)];
    }
    const AccountSide* a = side(account, s);
    if (a == nullptr) return {};
    if (f == AccountField::userName) return a->userName;
    if (f == AccountField::passwordHash) return a->passwordHash;
    return {};
}

void InstanceFields::setAccountText(AccountField f, int account, Side s, std::string_view v) {
    if (f == AccountField::passwordRepeat) {
        if (account >= 0 && account < accountCount) accounts.passwordRepeat[static_cast<std::size_t>(account)] = v;
        return;
    }
    AccountSide* a = side(account, s);
    if (a == nullptr) return;
    if (f == AccountField::userName) a->userName = v;
    if (f == AccountField::passwordHash) a->passwordHash = v;
}

LoginSlotDefaults* InstanceFields::slot(int n) {
    return n >= 0 && n < loginSlotCount ? &logins[static_cast<std::size_t>(n)] : nullptr;
}

const LoginSlotDefaults* InstanceFields::slot(int n) const { return const_cast<InstanceFields*>(this)->slot(n); }

std::string InstanceFields::loginText(LoginField f, int n) const {
    const LoginSlotDefaults* s = slot(n);
    if (s == nullptr) return {};
    switch (f) {
        case LoginField::userNameEntry: return s->userNameEntry;
        case LoginField::passwordEntry: return s->passwordEntry;
        case LoginField::loggedInAs: return s->loggedInAs;
    }
    return {};
}

void InstanceFields::setLoginText(LoginField f, int n, std::string_view v) {
    LoginSlotDefaults* s = slot(n);
    if (s == nullptr) return;
    switch (f) {
        case LoginField::userNameEntry: s->userNameEntry = v; break;
        case LoginField::passwordEntry: s->passwordEntry = v; break;
        case LoginField::loggedInAs: s->loggedInAs = v; break;
    }
}

bool InstanceFields::loggedIn(int n) const {
    const LoginSlotDefaults* s = slot(n);
    return s != nullptr && s->loggedIn;
}

void InstanceFields::setStreamKey(const char*) {}
void InstanceFields::checkAccountRow(int) {}
void InstanceFields::clearLoginErrorMark(LoginField, int) {}

}  // namespace kestrava::settings
