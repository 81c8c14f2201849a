#pragma once

#include "params/PListManager.h"
#include "params/ParamOwner.h"

namespace kestrava::settings {

// The port and interface choice of an empty destination row.
inline constexpr std::int32_t emptyDestinationPort = 8854;
inline constexpr std::int32_t automaticInterface = 0;

// The destination list's three row actions (clear, move, show) over the five rows of each
// destination, found through `owner` by identifier. They change the rows only: what the
// controller has open for a row is left to the next apply, which sees the row changed and erases
// (and where the row is on, opens) its destination, so no destination keeps sending that no row
// shows. Rows outside 0 to 99 are ignored.
params::PListManager::RowOperations destinationRowActions(params::ParamOwner& owner);

}  // namespace kestrava::settings
