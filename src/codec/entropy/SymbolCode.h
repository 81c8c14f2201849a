#pragma once

#include <cstdint>

namespace kestrava::codec::entropy {

// One entry of a code table: the code right-aligned in `code`, sent from bit length-1 down.
// Length 0: the symbol has no code.
struct SymbolCode {
    std::uint64_t code = 0;
    std::uint32_t length = 0;
};

}  // namespace kestrava::codec::entropy
