#pragma once

#include "params/Param.h"
#include "settings/TreeSources.h"

#include <memory>
#include <vector>

namespace kestrava::settings {

// Sizes of the declaration: the encoder's own rows, the account settings, the accounts page and
// the two closing rows, in that order.
inline constexpr int ownRowCount = 572;
inline constexpr int accountSettingsRowCount = 124;
inline constexpr int accountPageRowCount = 257;
inline constexpr int closingRowCount = 2;
inline constexpr int encoderParamCount = ownRowCount + accountSettingsRowCount + accountPageRowCount + closingRowCount;
static_assert(encoderParamCount == 955);

inline constexpr int destinationCount = 100;

// Declares every setting and page element of the encoder in its fixed creation order (the
// order every walk over the tree replays) with its section, key, short key, default, range,
// attributes and initial shown state. Defaults are read from `sources` (the live settings
// record among them) at this moment. The rows belong to `owner`'s settings store, which keeps
// them in the returned order; no row is registered anywhere yet.
std::vector<std::unique_ptr<params::Param>> buildEncoderSettings(params::ParamOwner& owner,
                                                                 const TreeSources& sources);

}  // namespace kestrava::settings
