#pragma once

#include "model/OldNew.h"
#include "model/UserAccounts.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace KestravaLogger {
class Logger;
}

namespace kestrava::model {

class AccountView;
class LoginThrottle;

// The login of one client view. Pending sides: what the login fields hold (the password as its
// digest); committed sides: what the slot is logged in with.
struct LoginSlot {
    OldNew_cstr<32> userNameEntry;
    OldNew_cstr<64> passwordEntry;
    std::string loggedInAs;  // at most 32 characters
};

// Rights words matched against the view masks of the rows.
inline constexpr std::int32_t rightsAll = -1;
inline constexpr std::int32_t rightsEveryClient = 0x002;  // every slot while the protection is on
inline constexpr std::int32_t rightsAdmin = 0x401;        // the account administration rows
inline constexpr std::int32_t rightsSettings = 0x404;     // the encoder's settings rows

// The 31 login slots, one per client view, and the rights each has earned.
class LoginTable {
public:
    static constexpr int slotCount = 31;
    static constexpr int nativeSlot = 0;
    static constexpr int sessionlessSlot = 29;  // requests without a session never log in

    enum class Outcome { noAttempt, loggedIn, unknownUser, wrongPassword, throttled };

    // The logger and the throttle are optional; without them failures are neither logged nor
    // slowed down.
    LoginTable(const UserAccounts& accounts, AccountView& view, KestravaLogger::Logger* logger = nullptr,
               LoginThrottle* throttle = nullptr);

    // "Log in": the typed entries become the slot's login. `address` names the client for the
    // log and the throttle; while the address must wait, the attempt is refused unchecked.
    Outcome logIn(int n, std::string_view address = {});
    void logOut(int n);
    // Recomputes the slot's rights from its committed entries and the committed accounts.
    Outcome evaluateLogin(int n);
    void clearLoginFields(int n);
    // After a whole settings file was loaded: every slot logs in again with what it holds.
    void logInAll();

    // The login fields write here.
    void setTypedUserName(int n, std::string_view text);
    void setTypedPasswordDigest(int n, std::string_view digest);

    static bool validSlot(int n) { return n >= 0 && n < slotCount; }

    std::array<LoginSlot, slotCount> slots;
    std::array<bool, slotCount> loggedIn{};
    std::array<std::int32_t, slotCount> viewRights;
    std::array<std::int32_t, slotCount> editRights;

private:
    const UserAccounts& accounts;
    AccountView& view;
    KestravaLogger::Logger* logger;
    LoginThrottle* throttle;
};

// A user-supplied text fit for a log line: printable ASCII only, at most 32 characters.
std::string printableName(std::string_view text);

}  // namespace kestrava::model
