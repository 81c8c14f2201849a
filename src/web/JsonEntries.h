#pragma once

#include "web/JsonReply.h"

#include <optional>
#include <string_view>

namespace kestrava::params {
class Param;
}

namespace kestrava::web {

// The reply entry of one parameter named by a "/json" request, chosen by its widget kind, after
// the object's new value (if any) has been applied as the client's view may:
//
//   settings (kinds 1-10, 12, 44)  "<id>": { "enabled": "e", "active": "a", "value": "<text>", "text": "<name>" }
//   booleans (kind 0)              the same with "value": "0" or "1"
//   waveform displays (17)         "<id>": { "enabled": "e", "active": "a", "value": "%f", "value_db": "%f" }
//   buttons (26), pressed          "<id>": { "enabled": "e", "active": "a", "text": "<name>" }
//   the error list (40)            "<id>": { "<index>": { "count": n, "text": "<text>" }, ... }
//   anything else                  "<id>": "ERROR_UNSUPPORTED_PARAMETER_TYPE"
//
// "enabled" is the parameter's enabled flag (a button also needs edit rights in the view),
// "active" whether it is shown and visible in the view. Every text is escaped (JsonText); a
// password field's value is always empty. A refused value is not reported: the entry shows the
// value the parameter holds.
class JsonEntries {
public:
    static void write(JsonReply& reply, params::Param& p, int view, std::optional<std::string_view> newValue);
};

}  // namespace kestrava::web
