#include "web/UpdateBody.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

using kestrava::web::UpdateBody;
using Group = std::vector<std::int32_t>;

struct Read {
    std::vector<Group> groups;
    UpdateBody::Result result;
};

Read readBody(const std::string& body) {
    static UpdateBody reader;  // one per worker slot in the server; kept between requests here too
    Read r;
    r.result = reader.read(body, [&](std::span<const std::int32_t> g) { r.groups.emplace_back(g.begin(), g.end()); });
    return r;
}

TEST(UpdateBody, ReadsGroupsAsTheProtocolDefinesThem) {
    struct {
        const char* body;
        std::vector<Group> groups;
        std::size_t bad;
    } cases[] = {
        {"", {}, 0},
        {"1A,5/", {{0x1A, 5}}, 0},
        {"1A/", {{0x1A}}, 0},
        {"1001A/", {{0x1001A}}, 0},
        {"2001A/", {{0x2001A}}, 0},
        {"FFFC001A/", {{static_cast<std::int32_t>(0xFFFC001Au)}}, 0},
        {"1a,5/", {{1, 5}}, 1},          // lower case is no hexadecimal digit
        {"1A,-5/", {{0x1A, -5}}, 0},
        {"1A,5-3/", {{0x1A, 47}}, 0},    // the '-' turns only the digits after it negative
        {"-1A/", {{-0x1A}}, 0},
        {"1A,5", {}, 0},                 // no closing '/': dropped
        {"/", {{0}}, 0},                 // an empty group: widget 0
        {"FFFF/", {{0xFFFF}}, 0},
        {"1A,5/1B,,7/", {{0x1A, 5}, {0x1B, 0, 7}}, 0},
        {"1A,5/1B/", {{0x1A, 5}, {0x1B}}, 0},  // a later group does not see the earlier numbers
        {"1 A,%35/", {{0x1A, 35}}, 2},
        {"1A,12,A/", {{0x1A, 12, 0}}, 1},  // A is a digit only in the first number
        {"FFFFFFFFF/", {{-1}}, 0},       // wraps modulo 2^32
        {"1A,4294967297/", {{0x1A, 1}}, 0},
    };
    for (const auto& c : cases) {
        const Read r = readBody(c.body);
        EXPECT_EQ(r.groups, c.groups) << '"' << c.body << '"';
        EXPECT_EQ(r.result.badCharacters, c.bad) << '"' << c.body << '"';
    }
}

TEST(UpdateBody, AGroupHoldsAtMost2048Numbers) {
    std::string body = "1A";
    for (int k = 1; k <= 2048; ++k) body += "," + std::to_string(k % 10);
    body += "/";
    const Read r = readBody(body);
    ASSERT_EQ(r.groups.size(), 1u);
    ASSERT_EQ(r.groups[0].size(), 2048u);
    // The ',' that would open number 2049 is a bad character: its digit adds to number 2048.
    EXPECT_EQ(r.result.badCharacters, 1u);
    EXPECT_EQ(r.groups[0][2047], 7 * 10 + 8);
    EXPECT_EQ(body[r.result.firstBad], ',');
}

TEST(UpdateBody, StopsAtAZeroByte) {
    const Read r = readBody(std::string("1A/\0" "1B/", 7));
    EXPECT_EQ(r.groups, (std::vector<Group>{{0x1A}}));
}

TEST(UpdateBody, BodyFollowsTheFirstSlashAfterTheRouteName) {
    struct {
        const char* path;
        const char* body;
    } cases[] = {
        {"/update-1/1A/", "1A/"}, {"/update-1", ""}, {"/update", ""}, {"/update/", ""}, {"/update12/3/4/", "3/4/"},
    };
    for (const auto& c : cases) EXPECT_EQ(UpdateBody::bodyOf(c.path), c.body) << c.path;
}

TEST(UpdateBody, ManyBadCharactersGiveOneShortPrintableLine) {
    const std::string body = "1A/" + std::string(1000, '\x01') + "\n\x7f%zz";
    const Read r = readBody(body);
    EXPECT_EQ(r.result.badCharacters, 1005u);
    const std::string line = UpdateBody::diagnostic(body, r.result);
    EXPECT_LT(line.size(), 200u);
    EXPECT_EQ(line.rfind("Bad character in string - \\x01\\x01", 0), 0u) << line;
    EXPECT_NE(line.find("(1005 bad characters)"), std::string::npos) << line;
    EXPECT_EQ(line.find('\n'), std::string::npos);
    const Read one = readBody("1A,5 /");
    EXPECT_EQ(UpdateBody::diagnostic("1A,5 /", one.result), "Bad character in string -  /");
}

}  // namespace
