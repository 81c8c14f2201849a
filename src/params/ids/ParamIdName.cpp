#include "params/ids/ParamIdName.h"

#include <array>
#include <cstddef>

namespace kestrava {
namespace {

constexpr std::int32_t listedNumbers[] = {
#define ID(number, name) number,
#include "params/ids/ParamIdList.inc"
#undef ID
};

// A number listed twice would silently lose one of its names in the table below.
constexpr bool listIsAscendingInRange() {
    for (std::size_t i = 0; i < std::size(listedNumbers); ++i) {
        if (!isParamIdIndex(listedNumbers[i])) return false;
        if (i > 0 && listedNumbers[i] <= listedNumbers[i - 1]) return false;
    }
    return true;
}
static_assert(listIsAscendingInRange());

using NameTable = std::array<const char*, ID_IDCOUNT>;

// Null at the numbers without a name.
constexpr NameTable names = [] {
    NameTable table{};
#define ID(number, name) table[number] = #name;
#include "params/ids/ParamIdList.inc"
#undef ID
    return table;
}();

}  // namespace

const char* getParamIdName(ParamId id) noexcept {
    if (isParamIdIndex(id)) {
        const char* name = names[static_cast<std::size_t>(id)];
        if (name != nullptr) return name;
    } else if (id == ID_IDCOUNT) {
        return "ID_IDCOUNT";
    } else if (id == ID_NONE) {
        return "ID_NONE";
    }
    return "Unknown ID";
}

}  // namespace kestrava
