#include "params/PBool.h"
#include "params/PButton.h"
#include "params/PEnum.h"
#include "params/PListManager.h"
#include "params/PString.h"
#include "params/PSubLevel.h"
#include "settings/SectionNames.h"
#include "settings/TreeBuilder.h"
#include "settings/ValueTables.h"

namespace kestrava::settings {

using namespace params;

namespace {

ParamId nth(ParamId first, int n) { return static_cast<ParamId>(first + n); }

NamePair keyPair(std::string_view key) {
    NamePair k(key);
    k.count = 1;
    return k;
}

// The account administration rows (view mask 1).
constexpr std::uint32_t adminMask = 1;
// The rows every client meets while the protection is on (view mask 2).
constexpr std::uint32_t clientMask = 2;

}  // namespace

void declareAccountSettings(TreeBuilder& b) {
    b.section = sectionName(SectionEntry::userRights);
    const AccountDefaults& a = b.sources.accounts;
    ParamOwner& o = b.owner;

    b.append(std::make_unique<PSubLevel>(o, adminMask, ID_OPEN_LOGIN, 1, std::nullopt, b.section, "Log in"));
    b.append(std::make_unique<PBool>(o, adminMask, PARAM_PASSWORD_PROTECTIONON_ANY, a.protectionOn, 0,
                                     ShortKey("PASSon"), b.section, keyPair("Password protection on"),
                                     "Password protection"))
        ->setEditable(false);
    auto* pendingProtection = b.append(std::make_unique<PBool>(
        o, adminMask, NOSAVEPARAM_PASSWORD_PROTECTIONON_ANY, a.pendingProtectionOn, 0, ShortKey("NASSon"),
        b.section, keyPair("New Password protection on"), "Password protection"));
    pendingProtection->setPersistent(false);
    // The walks take this flag here to re-check every account after a protection change; right
    // after construction it is clear.
    pendingProtection->valueChanged.take(anyView);

    for (int j = 0; j < accountCount; ++j) {
        const AccountSide& c = a.committed[static_cast<std::size_t>(j)];
        const bool keep = j > 0;  // account 0 ("Admin") is fixed: only its password is saved
        auto* on = b.append(std::make_unique<PBool>(o, adminMask, nth(PARAM_PASSWORD_PROTECTIONON_0, j), c.enabled,
                                                    2, ShortKey(formatIndex("PASSon%2d", j)), b.section,
                                                    keyPair(formatIndex("Password protection on %d", j)), "Active"));
        on->setEditable(false);
        on->setPersistent(keep);
        auto* user = b.append(std::make_unique<PString>(
            o, adminMask, nth(PARAM_PASSWORD_USERNAME_0, j), 32, c.userName, ShortKey(formatIndex("PASSUS%2d", j)),
            b.section, keyPair(formatIndex("User name %d", j)), "User name", "%s"));
        user->setEditable(false);
        user->setPersistent(keep);
        auto* password = b.append(std::make_unique<PString>(
            o, adminMask, nth(PARAM_PASSWORD_STRING_0, j), 64, c.passwordHash, ShortKey(formatIndex("PASSWO%2d", j)),
            b.section, keyPair(formatIndex("Password %d", j)), j == 0 ? "Admin Password" : "Password", ""));
        password->setEditable(false);
        password->setPasswordMode(user);
        auto* admin = b.append(std::make_unique<PEnum>(
            o, adminMask, nth(PARAM_PASSWORD_PROTECTION_MASK_ADMIN_0, j), &adminMaskLevelList(), false, 64,
            c.adminAccess, ShortKey(formatIndex("PASSuA%2d", j)), b.section,
            keyPair(formatIndex("Access: Admin %d", j)), "Admin"));
        admin->setEditable(false);
        admin->setPersistent(keep);
        auto* quick = b.append(std::make_unique<PEnum>(
            o, adminMask, nth(PARAM_PASSWORD_PROTECTION_MASK_QUICK_0, j), &quickMaskLevelList(), false, 64,
            c.settingsAccess, ShortKey(formatIndex("PASSuQ%2d", j)), b.section,
            keyPair(formatIndex("Access: Settings %d", j)), "Settings"));
        quick->setEditable(false);
        quick->setPersistent(keep);
    }

    b.append(std::make_unique<PListManager>(o, adminMask, PARAM_LISTMANAGER_Login, 1, 1, accountCount, 127,
                                            a.activeAccountCount, ShortKey("NASSonN"), b.section,
                                            keyPair("Number of active passwords"), "User account setup",
                                            b.sources.accountRows));

    for (int j = 0; j < accountCount; ++j) {
        const AccountSide& p = a.pending[static_cast<std::size_t>(j)];
        const bool editable = j > 0;
        auto* on = b.append(std::make_unique<PBool>(o, adminMask, nth(NOSAVEPARAM_PASSWORD_PROTECTIONON_0, j),
                                                    p.enabled, 0, ShortKey(formatIndex("NASSon%2d", j)), b.section,
                                                    keyPair(formatIndex("New password protection on %d", j)),
                                                    "Enabled"));
        on->setPersistent(false);
        on->setEditable(editable);
        auto* user = b.append(std::make_unique<PString>(
            o, adminMask, nth(NOSAVEPARAM_PASSWORD_USERNAME_0, j), 32, p.userName,
            ShortKey(formatIndex("NASSUS%2d", j)), b.section, keyPair(formatIndex("User name %d", j)), "User name",
            "%s"));
        user->setPersistent(false);
        user->setEditable(editable);
        auto* password = b.append(std::make_unique<PString>(
            o, adminMask, nth(NOSAVEPARAM_PASSWORD_STRING_0, j), 64, p.passwordHash,
            ShortKey(formatIndex("NASSWO%2d", j)), b.section, keyPair(formatIndex("New password %d", j)),
            "New Password", "%s"));
        password->setPasswordMode(user);
        password->setPersistent(false);
        auto* repeat = b.append(std::make_unique<PString>(
            o, adminMask, nth(NOSAVEPARAM_PASSWORD2_STRING_0, j), 64, a.passwordRepeat[static_cast<std::size_t>(j)],
            ShortKey(formatIndex("N2SSWO%2d", j)), b.section, keyPair(formatIndex("New password again %d", j)),
            "New Password (again)", "%s"));
        repeat->setPasswordMode(user);
        repeat->setPersistent(false);
        b.append(std::make_unique<PHr>(o, adminMask, nth(ID_OPEN_PASSWORD_PROTECTION_MASKS_0, j), "User rights"));
        auto* admin = b.append(std::make_unique<PEnum>(
            o, adminMask, nth(NOSAVEPARAM_PASSWORD_PROTECTION_MASK_ADMIN_0, j), &adminMaskLevelList(), false, 64,
            p.adminAccess, ShortKey(formatIndex("NASSuA%2d", j)), b.section,
            keyPair(formatIndex("New Access: Admin %d", j)), "Admin"));
        admin->setPersistent(false);
        admin->setEditable(editable);
        auto* quick = b.append(std::make_unique<PEnum>(
            o, adminMask, nth(NOSAVEPARAM_PASSWORD_PROTECTION_MASK_QUICK_0, j), &quickMaskLevelList(), false, 64,
            p.settingsAccess, ShortKey(formatIndex("NASSuQ%2d", j)), b.section,
            keyPair(formatIndex("New Access: Settings %d", j)), "Settings"));
        quick->setPersistent(false);
        quick->setEditable(editable);
        // The account-row step of the walks starts from these flags; nothing has changed yet.
        for (Param* row : {static_cast<Param*>(on), static_cast<Param*>(user), static_cast<Param*>(password),
                           static_cast<Param*>(repeat), static_cast<Param*>(admin), static_cast<Param*>(quick)}) {
            row->valueChanged.take(anyView);
        }
    }
}

void declareAccountPage(TreeBuilder& b) {
    b.section = sectionName(SectionEntry::userRights);
    ParamOwner& o = b.owner;
    const auto* protectionRow = dynamic_cast<const PBool*>(b.find(PARAM_PASSWORD_PROTECTIONON_ANY));
    const bool protection = protectionRow != nullptr && protectionRow->current();

    b.append(std::make_unique<PSubLevel>(o, clientMask, ID_OPEN_ACCOUNT, 1, std::nullopt, b.section, "Account"))
        ->setShown(protection);
    b.append(std::make_unique<PHr>(o, clientMask, ID_OPEN_PASSWORD_INFO, "Account"))->setShown(!protection);
    b.append(std::make_unique<PDisplayText>(
                 o, clientMask, ID_OPEN_ACCOUNT_TEXT, 0, "",
                 "No user accounts have been set up. You have full access to all the settings.", ""))
        ->setShown(!protection);

    for (int s = 0; s < loginSlotCount; ++s) {
        const LoginSlotDefaults& slot = b.sources.logins[static_cast<std::size_t>(s)];
        // View 0 (the program's own client) never logs in.
        const bool loginForm = s >= 1 && protection && !slot.loggedIn;
        const bool loggedInState = s >= 1 && protection && slot.loggedIn;

        auto* loginHeading = b.append(std::make_unique<PHr>(o, clientMask, nth(ID_OPEN_PASSWORD_LOGIN1_0, s), "Account"));
        loginHeading->setShown(loginForm);
        loginHeading->bindToView(s);
        auto* logoutHeading =
            b.append(std::make_unique<PHr>(o, clientMask, nth(ID_OPEN_PASSWORD_LOGOUT1_0, s), "Account"));
        logoutHeading->setShown(loggedInState);
        logoutHeading->bindToView(s);
        auto* user = b.append(std::make_unique<PString>(o, clientMask, nth(NOSAVEPARAM_USERNAME2_0, s), 32,
                                                        slot.userNameEntry, ShortKey(), b.section, keyPair(""),
                                                        "User name", "%s"));
        user->setPersistent(false);
        user->bindToView(s);
        auto* password = b.append(std::make_unique<PString>(o, clientMask, nth(NOSAVEPARAM_PASSWORD2_0, s), 64,
                                                            slot.passwordEntry, ShortKey(), b.section, keyPair(""),
                                                            "Password", "%s"));
        password->setPasswordMode(user);
        password->setPersistent(false);
        password->bindToView(s);
        auto* login = b.append(
            std::make_unique<PButton>(o, clientMask, nth(NOSAVEPARAM_PASSWORD_LOGIN2_0, s), b.sources.logIn, "Log in"));
        login->setShown(loginForm);
        login->bindToView(s);
        auto* loggedInAs = b.append(std::make_unique<PString>(o, clientMask, nth(NOPARAM_LoggedInAs_0, s), 64,
                                                              slot.loggedInAs, ShortKey(), b.section, keyPair(""),
                                                              "Logged in as", "%s"));
        loggedInAs->setShown(loggedInState);
        loggedInAs->setPersistent(false);
        loggedInAs->setEditable(false);
        loggedInAs->bindToView(s);
        auto* logout = b.append(std::make_unique<PButton>(o, clientMask, nth(NOSAVEPARAM_PASSWORD_LOGOUT2_0, s),
                                                          b.sources.logOut, "Log out"));
        logout->setShown(loggedInState);
        logout->bindToView(s);
        auto* rights = b.append(std::make_unique<PDisplayText>(
            o, clientMask, nth(NOSAVEPARAM_RIGHTS_ISSUE_0, s), 0, "",
            "The entered user does not have the required rights to apply these changes.", ""));
        rights->setShown(false);
        rights->bindToView(s);
    }

    b.append(std::make_unique<PSubLevel>(o, adminMask, ID_SUBLEVEL_PASSWORD_LOGIN, 1, std::nullopt, b.section,
                                         "User accounts"));
    b.append(std::make_unique<PHr>(o, adminMask, ID_SUBLEVEL_PASSWORD_LOGIN_USERACCOUNTS, "User accounts"));
    b.append(std::make_unique<PSubLevel>(o, adminMask, ID_SUBLEVEL_PASSWORD_ACCOUNTS, 2, std::nullopt, b.section,
                                         "User accounts"));
    b.append(std::make_unique<PHr>(o, adminMask, ID_OPEN_PASSWORD_ACCOUNTS_MORE, "Password protection"));
    b.append(std::make_unique<PHr>(o, adminMask, ID_OPEN_PASSWORD_ACCOUNTS_ACTIVATE, "Apply changes"));
    b.append(std::make_unique<PButton>(o, adminMask, NOSAVEPARAM_PASSWORD_ACTIVATE, b.sources.applyAccountChanges,
                                       "Apply changes (BE CAREFUL!)"));
}

}  // namespace kestrava::settings
