#pragma once

#include "params/Param.h"

#include <cstdint>
#include <span>

namespace kestrava::params {

// One widget of an "/update" request: hands the parameter its numbers (values[0] the widget id
// with the request flags, then the widget's own numbers), then writes the widget when something
// is to be sent: six header words (widget type; the number of words after the header, 32 bits;
// id; view offset; flags: 1 shown and visible, 2 enabled, 4 editable, 8 expanded), the title and
// description when expanded, the state when it is sent. A malformed group is reported once through
// the owner's warning. The handler appends the 9999 after each widget that was written.
// Returns whether the widget was written.
bool applyWidgetUpdate(Param& p, const RequestContext& request, std::span<const std::int32_t> values,
                       WordWriter& out);

}  // namespace kestrava::params
