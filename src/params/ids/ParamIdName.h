#pragma once

#include "params/ids/ParamId.h"

namespace kestrava {

// The enumerator name of an identifier, for diagnostic lines: "ID_NONE" for -1, "ID_IDCOUNT"
// for 14690 and "Unknown ID" for every number without a name, in the range or outside it.
// Any int32 value may be passed. The text is constant static data, never null; the call keeps
// no state, allocates nothing and is safe from any thread at any time.
const char* getParamIdName(ParamId id) noexcept;

}  // namespace kestrava
