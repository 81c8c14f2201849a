#pragma once

#include <cstdint>

namespace kestrava {

// The one number space of every setting, page element, display, section, menu and save scope.
// The numbers are fixed: the web page layout, the update protocol, the remote-control interface
// and every per-identifier table refer to elements by number. Any int32 value is a valid
// ParamId; only the listed ones carry a name.
enum ParamId : std::int32_t {
    ID_NONE = -1,  // refers to nothing
#define ID(number, name) name = number,
#include "params/ids/ParamIdList.inc"
#undef ID
    ID_IDCOUNT = 14690,  // slots of every table indexed by ParamId
};

// Every identifier and ID_IDCOUNT travel in 16 bits on the web update protocol.
static_assert(ID_IDCOUNT <= 0xffff);

// The range test before indexing a table of ID_IDCOUNT slots. Unsigned, so that ID_NONE and
// every other negative number fail it just like numbers above the range.
constexpr bool isParamIdIndex(std::int32_t id) noexcept {
    return static_cast<std::uint32_t>(id) < static_cast<std::uint32_t>(ID_IDCOUNT);
}

}  // namespace kestrava
