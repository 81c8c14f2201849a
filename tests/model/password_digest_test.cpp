#include "model/PasswordDigest.h"

#include <gtest/gtest.h>
#include <sodium.h>

#include <string>

namespace {

using kestrava::model::digestsMatch;
using kestrava::model::passwordDigest;

// A SHA-256 independent of the program's own (libsodium's), over the literal text.
std::string referenceDigest(const std::string& text) {
    unsigned char d[crypto_hash_sha256_BYTES];
    crypto_hash_sha256(d, reinterpret_cast<const unsigned char*>(text.data()), text.size());
    char hex[2 * crypto_hash_sha256_BYTES + 1];
    sodium_bin2hex(hex, sizeof hex, d, sizeof d);
    return hex;
}

TEST(PasswordDigest, IsTheSha256OfTheJoinedText) {
    // printf '%s' 'Admin@~%secret/3^^' | sha256sum
    EXPECT_EQ(passwordDigest("Admin", "secret"), "f84a68c3858986dcb621590ce732699029c0c5358491a3c22108977b29a34a6d");
    const struct {
        const char* user;
        const char* password;
    } cases[] = {{"ops", "p4ss word"}, {"", "x"}, {"Admin", "%s%%{}"}, {"Ünïcode", "ключ"}};
    for (const auto& c : cases) {
        const std::string d = passwordDigest(c.user, c.password);
        EXPECT_EQ(d, referenceDigest(std::string(c.user) + "@~%" + c.password + "/3^^")) << c.user;
        EXPECT_EQ(d.size(), 64u);
        EXPECT_EQ(d.find_first_not_of("0123456789abcdef"), std::string::npos);
    }
    EXPECT_EQ(passwordDigest("Admin", ""), "");
}

TEST(PasswordDigest, EmptyStoredDigestNeverMatches) {
    const std::string d = passwordDigest("Admin", "secret");
    EXPECT_TRUE(digestsMatch(d, d));
    EXPECT_FALSE(digestsMatch("", ""));
    EXPECT_FALSE(digestsMatch("", d));
    EXPECT_FALSE(digestsMatch(d, ""));
    EXPECT_FALSE(digestsMatch(d, d.substr(0, 63)));
    std::string other = d;
    other[63] = other[63] == '0' ? '1' : '0';
    EXPECT_FALSE(digestsMatch(d, other));
}

}  // namespace
