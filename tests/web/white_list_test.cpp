#include "web/WhiteList.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using kestrava::web::WhiteList;
using kestrava::web::WhitelistEntry;

constexpr std::uint32_t ip(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d) {
    return a << 24 | b << 16 | c << 8 | d;
}

const WhitelistEntry loopbackEntry{ip(127, 0, 0, 1), 32};

struct ParseCase {
    const char* text;
    std::vector<WhitelistEntry> entries;  // after the loopback entry
    std::size_t refused;
};

class WhiteListParse : public testing::TestWithParam<ParseCase> {};

TEST_P(WhiteListParse, GivesTheEntriesAndRefusesMalformedOnes) {
    const auto& c = GetParam();
    const WhiteList list(c.text);
    std::vector<WhitelistEntry> expected{loopbackEntry};
    expected.insert(expected.end(), c.entries.begin(), c.entries.end());
    EXPECT_EQ(list.entries(), expected);
    EXPECT_EQ(list.refused().size(), c.refused);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, WhiteListParse,
    testing::Values(
        // The forms the refusal page explains.
        ParseCase{"127.0.0.1", {{ip(127, 0, 0, 1), 32}}, 0},
        ParseCase{"192.168.100.127", {{ip(192, 168, 100, 127), 32}}, 0},
        ParseCase{"172.22.16.0/24", {{ip(172, 22, 16, 0), 24}}, 0},
        ParseCase{"172.22.16/24", {{ip(172, 22, 16, 0), 24}}, 0},
        ParseCase{"172.22.16.*", {{ip(172, 22, 16, 0), 24}}, 0},
        ParseCase{"192.168/16", {{ip(192, 168, 0, 0), 16}}, 0},
        ParseCase{"10.0.*.*", {{ip(10, 0, 0, 0), 16}}, 0},
        ParseCase{"1.2.3", {{ip(1, 2, 3, 0), 32}}, 0},
        // The deliberate "allow all" forms.
        ParseCase{"/0", {{0, 0}}, 0},
        ParseCase{"*.*.*.*", {{0, 0}}, 0},
        ParseCase{"0.0.0.0/0", {{0, 0}}, 0},
        ParseCase{"10.0.0.1 *.*.*.*", {{ip(10, 0, 0, 1), 32}, {0, 0}}, 0},
        // Separators, line breaks and tabs included.
        ParseCase{"10.0.0.1, 10.0.0.2;10.0.0.3 10.0.0.4",
                  {{ip(10, 0, 0, 1), 32}, {ip(10, 0, 0, 2), 32}, {ip(10, 0, 0, 3), 32}, {ip(10, 0, 0, 4), 32}}, 0},
        ParseCase{"10.0.0.1\r\n10.0.0.2\t10.0.0.3\n", {{ip(10, 0, 0, 1), 32}, {ip(10, 0, 0, 2), 32}, {ip(10, 0, 0, 3), 32}},
                  0},
        ParseCase{"", {}, 0},
        // Malformed entries are refused and never widen the list.
        ParseCase{"1.2.3.4/", {}, 1},
        ParseCase{"/", {}, 1},
        ParseCase{"1.2.3.4/33", {}, 1},
        ParseCase{"1.2.3.4/24/8", {}, 1},
        ParseCase{"300.1.1.1", {}, 1},
        ParseCase{"1.2.3.4.5", {}, 1},
        ParseCase{"192.168.*.5", {}, 1},
        ParseCase{"10.*", {}, 1},
        ParseCase{"1..2", {}, 1},
        ParseCase{"host.example", {}, 1},
        ParseCase{"::1", {}, 1},
        ParseCase{"1.2.3.4 / 24", {{ip(1, 2, 3, 4), 32}, {ip(24, 0, 0, 0), 32}}, 1},
        ParseCase{"1.2.3.4/ 10.0.0.1", {{ip(10, 0, 0, 1), 32}}, 1}));

TEST(WhiteList, MatchesByPrefix) {
    const WhiteList list("192.168.1.0/24 10.1.2.3 172.16/12");
    struct {
        std::uint32_t address;
        bool allowed;
    } cases[] = {
        {ip(127, 0, 0, 1), true},        {ip(127, 0, 0, 2), false},    {ip(192, 168, 1, 0), true},
        {ip(192, 168, 1, 255), true},    {ip(192, 168, 2, 1), false},  {ip(10, 1, 2, 3), true},
        {ip(10, 1, 2, 4), false},        {ip(172, 31, 255, 255), true}, {ip(172, 32, 0, 0), false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(list.allows(c.address), c.allowed) << kestrava::web::formatIpv4(c.address);
    }
    EXPECT_FALSE(WhiteList("").allows(ip(127, 0, 0, 2)));
    EXPECT_TRUE(WhiteList("127.0.0.0/8").allows(ip(127, 0, 0, 2)));
    EXPECT_FALSE(WhiteList("1.2.3.4/").allows(ip(127, 0, 0, 2)));
    EXPECT_TRUE(WhiteList("/0").allows(ip(203, 0, 113, 9)));
    EXPECT_TRUE(WhiteList("1.0.0.0/1").allows(ip(127, 255, 0, 0)));
    EXPECT_FALSE(WhiteList("1.0.0.0/1").allows(ip(128, 0, 0, 0)));
}

TEST(WhiteList, KeepsAtMostTheEntryLimitAndReadsAtMostTheTextLimit) {
    std::string text;
    for (int i = 0; i < 3000; ++i) text += "10." + std::to_string(i / 256) + "." + std::to_string(i % 256) + ".1 ";
    text.resize(WhiteList::textLimit);
    const WhiteList atText(text);
    // The text limit cuts the list before the entry limit here: every entry read is whole or cut.
    EXPECT_LT(atText.entries().size(), WhiteList::entryLimit);

    std::string many;
    for (int i = 0; i < 2100; ++i) many += "/" + std::to_string(i % 33) + " ";
    ASSERT_LE(many.size(), WhiteList::textLimit);
    const WhiteList full(many);
    EXPECT_EQ(full.entries().size(), WhiteList::entryLimit);
    EXPECT_EQ(full.dropped(), 2100 - (WhiteList::entryLimit - 1));
    EXPECT_EQ(full.entries().back(), (WhitelistEntry{0, static_cast<std::int32_t>(2046 % 33)}));
}

TEST(WhiteList, Ipv4TextRoundTrips) {
    std::uint32_t a = 0;
    ASSERT_TRUE(kestrava::web::parseIpv4("203.0.113.255", a));
    EXPECT_EQ(a, ip(203, 0, 113, 255));
    EXPECT_EQ(kestrava::web::formatIpv4(a), "203.0.113.255");
    for (const char* bad : {"", "1.2.3", "1.2.3.4.5", "256.0.0.1", "1.2.3.x", "1..3.4"}) {
        EXPECT_FALSE(kestrava::web::parseIpv4(bad, a)) << bad;
    }
}

}  // namespace
