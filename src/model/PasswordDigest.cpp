#include "model/PasswordDigest.h"

#include "params/PString.h"

#include <sodium.h>

namespace kestrava::model {

std::string passwordDigest(std::string_view userName, std::string_view password) {
    if (password.empty()) return {};
    std::string joined(userName);
    joined += "@~%";
    joined += password;
    joined += "/3^^";
    return kestrava::params::sha256Hex(joined);
}

bool digestsMatch(std::string_view stored, std::string_view presented) {
    if (stored.empty() || stored.size() != presented.size()) return false;
    return sodium_memcmp(stored.data(), presented.data(), stored.size()) == 0;
}

}  // namespace kestrava::model
