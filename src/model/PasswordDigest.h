#pragma once

#include <string>
#include <string_view>

namespace kestrava::model {

// The stored form of an account password: the 64 lower-case hex digits of the SHA-256 digest of
// "<user name>@~%<password>/3^^". An empty password gives the empty text (no password). The web
// client forms the same text before sending, so a typed password never reaches the server.
std::string passwordDigest(std::string_view userName, std::string_view password);

// Compares a stored digest with a presented one in time independent of where they differ.
// An empty stored digest (an account without a password) never matches anything.
bool digestsMatch(std::string_view stored, std::string_view presented);

}  // namespace kestrava::model
