#pragma once

#include "params/ids/ParamId.h"

#include <cstdint>

namespace kestrava::texts {

// The help text and a one-byte mark of every identifier, indexed by the identifier's number
// (0 to ID_IDCOUNT - 1; ID_NONE and ID_IDCOUNT have no slot, and nothing checks the index).
// Built at compile time and constant afterwards, so any thread may read it without a lock.
// A slot without help points to the one empty text, never to null; slots that share a text
// point to one and the same constant. Texts are 7-bit ASCII; paragraphs are separated by an
// empty line ("\n\n"), and a text's first paragraph is its title line.
// The mark is carried for every identifier but read by nothing in the encoder.
struct HelpTextTable {
    const char* text[ID_IDCOUNT];
    std::uint8_t flag[ID_IDCOUNT];

    constexpr HelpTextTable() noexcept;
};

extern const HelpTextTable helpTextTable;

}  // namespace kestrava::texts
