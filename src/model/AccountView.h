#pragma once

#include <string>

namespace kestrava::model {

class UserAccounts;

// The text fields that carry an error mark.
enum class MarkedField {
    accountUserName,        // an account's pending user name
    accountPassword,        // an account's pending password
    accountPasswordRepeat,  // an account's pending password, typed again
    loginUserName,          // a client slot's user-name login field
    loginPassword,          // a client slot's password login field
};

// What the accounts and logins change outside their own records: the rows of the settings tree,
// the per-view rights and the autosave. The parameter set implements it; every operation does
// nothing here, so a test overrides only what it watches.
class AccountView {
public:
    virtual ~AccountView() = default;
    // Only a change of the mark needs a redraw; setting the same state again is harmless.
    virtual void setErrorMark(MarkedField, int /*index*/, bool /*marked*/) {}
    // The notice "The entered user does not have the required rights to apply these changes."
    virtual void showRightsIssue(int /*slot*/, bool /*shown*/) {}
    // Both sides of the protection flag and of every account are to be written into their rows.
    virtual void accountsCommitted(const UserAccounts&) {}
    // One account's committed enabled flag changed on its own (a lone re-enabling).
    virtual void committedEnabledChanged(int /*account*/, bool /*enabled*/) {}
    // The slot's user-name and password login fields were emptied.
    virtual void loginFieldsCleared(int /*slot*/) {}
    // The slot's "Logged in as" row gets this name.
    virtual void loggedInAsChanged(int /*slot*/, const std::string& /*name*/) {}
    // A slot's rights words changed: visibility and editability of every row follow them.
    virtual void rightsChanged(int /*slot*/) {}
    // Committed account data changed: the settings file must be saved soon.
    virtual void settingsPending() {}
};

}  // namespace kestrava::model
