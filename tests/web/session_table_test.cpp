#include "web/SessionNumber.h"
#include "web/SessionTable.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <set>

namespace {

using kestrava::web::parseSessionNumber;
using kestrava::web::SessionTable;

TEST(SessionNumber, ReadsASignedDecimalPrefix) {
    struct {
        const char* text;
        std::int32_t number;
    } cases[] = {
        {"-1/", -1},          {"1234/1A/", 1234},   {"/1A/", 0},           {"", 0},
        {"  \t42x", 42},      {"+7", 7},            {"-", 0},              {"- 5", 0},
        {"0017", 17},         {"12a3", 12},         {"2147483647", 2147483647},
        {"2147483648", 2147483647},                 {"99999999999999999999999/", 2147483647},
        {"-2147483648", -2147483647 - 1},           {"-99999999999999999999", -2147483647 - 1},
    };
    for (const auto& c : cases) EXPECT_EQ(parseSessionNumber(c.text), c.number) << '"' << c.text << '"';
}

// Draws the numbers given, then 0 for ever.
SessionTable::RandomSource scripted(std::deque<std::uint32_t> draws) {
    return [draws]() mutable {
        if (draws.empty()) return 0u;
        const std::uint32_t v = draws.front();
        draws.pop_front();
        return v;
    };
}

TEST(SessionTable, NewPagesTakeTheFreeRecordsInOrderThenTheOldest) {
    SessionTable sessions(scripted({100, 200, 300, 400, 500, 600, 700, 800, 900, 1000, 1100, 1200, 1300}));
    for (int k = 0; k < SessionTable::recordCount; ++k) {
        const auto opened = sessions.open(0);
        EXPECT_FALSE(opened.previous.inUse());
        EXPECT_EQ(sessions.touch(opened.sessionId), 2 * k + 3) << k;
    }
    const SessionTable::Record r12 = sessions.record(12);
    EXPECT_EQ(r12.sessionId, 1300);
    EXPECT_EQ(r12.viewIndex, 27);
    EXPECT_EQ(r12.age, 0);
    // Record 0 was named least recently (12 lookups of others since); naming record 0 makes
    // record 1 the oldest.
    EXPECT_EQ(sessions.record(0).age, 12);
    EXPECT_EQ(sessions.touch(100), 3);
    const auto opened = sessions.open(0);
    EXPECT_TRUE(opened.previous.inUse());
    EXPECT_EQ(opened.previous.sessionId, 200);
    EXPECT_EQ(opened.previous.viewIndex, 5);
    EXPECT_EQ(sessions.record(1).sessionId, opened.sessionId);
    // The page that held it is stale now.
    EXPECT_EQ(sessions.touch(200), -1);
}

TEST(SessionTable, EqualAgesTakeTheLowestIndex) {
    SessionTable sessions(scripted({}));
    for (int k = 0; k < SessionTable::recordCount; ++k) sessions.open(0);  // ids 0..12, all age 0
    EXPECT_EQ(sessions.open(0).previous.viewIndex, 3);
}

TEST(SessionTable, DrawnIdsAreRaisedPastEveryIdInUseTheReplacedOneIncluded) {
    SessionTable sessions(scripted({5, 5, 6}));
    EXPECT_EQ(sessions.open(0).sessionId, 5);
    EXPECT_EQ(sessions.open(0).sessionId, 6);
    EXPECT_EQ(sessions.open(0).sessionId, 7);
    // With every record in use, a draw equal to the id being replaced is raised as well.
    SessionTable full(scripted({}));
    for (int k = 0; k < SessionTable::recordCount; ++k) full.open(0);  // ids 0..12
    EXPECT_EQ(full.open(0).sessionId, 13);
    std::set<std::int32_t> ids;
    for (int k = 0; k < SessionTable::recordCount; ++k) ids.insert(full.record(k).sessionId);
    EXPECT_EQ(ids.size(), 13u);
}

TEST(SessionTable, LookupsAgeOnlyRecordsInUseAndSaturate) {
    SessionTable sessions(scripted({10, 20}));
    sessions.open(0);
    // A lookup that finds nothing still ages the records in use; free records stay free, and a
    // free record's -1 is never a match.
    EXPECT_EQ(sessions.touch(999), -1);
    EXPECT_EQ(sessions.touch(-1), -1);
    EXPECT_EQ(sessions.record(0).age, 2);
    EXPECT_EQ(sessions.record(1).age, -1);
    EXPECT_FALSE(sessions.holds(-1, -1));
    for (int k = 0; k < 3; ++k) sessions.touch(999);
    EXPECT_EQ(sessions.record(0).age, 5);
    EXPECT_TRUE(sessions.holds(10, 3));
    EXPECT_FALSE(sessions.holds(10, 5));
    sessions.clear();
    EXPECT_EQ(sessions.touch(10), -1);
}

TEST(SessionTable, DefaultIdsComeFromTheSystemGenerator) {
    SessionTable sessions;
    std::set<std::int32_t> ids;
    for (int k = 0; k < SessionTable::recordCount; ++k) {
        const std::int32_t id = sessions.open(0).sessionId;
        EXPECT_GE(id, 0);
        EXPECT_LT(id, 32'768 + SessionTable::recordCount);
        ids.insert(id);
    }
    EXPECT_EQ(ids.size(), 13u);
}

}  // namespace
