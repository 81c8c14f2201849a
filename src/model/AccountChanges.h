#pragma once

namespace kestrava::model {

class AccountView;
class LoginTable;
class UserAccounts;

// "Apply changes (BE CAREFUL!)" pressed by client slot n: the user name and password typed into
// the slot's login fields must name an account that may make the pending changes, and the
// pending table must be sound (no two enabled accounts share a name; each enabled account's
// password equals its repeat, and with the protection on it has a password, a new one when it
// was renamed). Every problem is marked at once; only when there is none is the table committed
// and every slot's login re-evaluated. Returns whether it committed.
bool applyAccountChanges(UserAccounts& accounts, LoginTable& logins, AccountView& view, int n);

// Whether account `index` may make every pending change of the table.
bool mayApplyPendingChanges(const UserAccounts& accounts, int index);

}  // namespace kestrava::model
