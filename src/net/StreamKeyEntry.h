#pragma once

#include <string>

class KestravaInstanceConfig;

namespace kestrava::net {

// The check-and-hand-over step of a typed stream key: when `text` is exactly 32 hexadecimal
// digits it becomes the engine's pending key text (the send thread takes it up at its next
// protected packet) and true is returned; the caller then re-applies the settings and stores the
// text as the active key setting. An empty text is refused quietly; any other invalid text posts
// and logs "Failed to decode stream protection key, incorrect length" and changes nothing.
bool offerStreamKey(KestravaInstanceConfig* config, const std::string& text);

}  // namespace kestrava::net
