#pragma once

#include "model/OldNew.h"

#include <array>
#include <cstdint>
#include <string>

namespace kestrava::model {

class AccountView;

// Access levels of an account: bit 0 sees the rows, bit 1 changes them.
enum AccessLevel : std::int32_t { accessHide = 0, accessView = 1, accessModify = 3 };

// One user account. The committed side is what logins are checked against; the pending side is
// what the account rows edit until "Apply changes (BE CAREFUL!)".
struct UserAccount {
    OldNew<bool> enabled;
    OldNew_cstr<33> userName;
    OldNew_cstr<65> passwordHash;  // empty, or 64 lower-case hex digits
    std::string passwordRepeat;    // digest of the password typed again; pending only
    OldNew<std::int32_t> adminAccess;
    OldNew<std::int32_t> settingsAccess{accessModify};

    // A changed access level, or (withEnabled) a changed enabled flag; name and password aside.
    bool hasPendingChanges(bool withEnabled) const;
};

// The password protection of an instance: the protection switch, the exclude-native flag (the
// native client's slot 0 is never asked to log in) and ten accounts. Account 0 is the
// administrator's "Admin": pending-enabled from the start, so that switching the protection on
// enables it.
class UserAccounts {
public:
    static constexpr int accountCount = 10;
    static constexpr std::size_t passwordLength = 64;

    UserAccounts();

    // Makes the pending side effective and hands both sides to the rows. With the protection
    // ending up off, the pending account edits are thrown away instead (account 0 keeps its
    // pending enabled flag). Refused, with nothing changed, when the protection would be on with
    // an administrator password that differs from its repeat.
    bool commitAccounts(AccountView& view);
    // Discards every pending edit (after a whole settings file was loaded).
    void revertAccountEdits();

    // Row operations of the account list.
    void resetAccount(int row);
    void moveAccount(int from, int to);

    // Error marks of account i's pending name, password and repeat; an account that already has
    // a password and nothing else pending is switched back on at once.
    void checkAccountRow(int i, AccountView& view);

    static bool validIndex(int i) { return i >= 0 && i < accountCount; }

    OldNew<bool> protectionOn;
    OldNew<bool> excludeNative{true};
    std::array<UserAccount, accountCount> accounts;
    std::int32_t activeAccountCount = 1;

private:
    void discardAccountEdits();
};

}  // namespace kestrava::model
