// The list manager against a small row store: what each row holds and whether it is shown.
#include "params/PListManager.h"

#include "params/ParamsFixture.h"

#include <gtest/gtest.h>

using namespace kestrava::params;
using kestrava::ParamId;

namespace {
struct Rows {
    std::vector<std::string> content;
    std::vector<bool> shown;
    int badRows = 0;
    explicit Rows(int n) : content(static_cast<std::size_t>(n)), shown(static_cast<std::size_t>(n), false) {}
    bool ok(std::int64_t r) {
        if (r < 0 || r >= static_cast<std::int64_t>(content.size())) {
            ++badRows;
            return false;
        }
        return true;
    }
    PListManager::RowOperations ops() {
        return {[this](std::int64_t r) { if (ok(r)) content[static_cast<std::size_t>(r)].clear(); },
                [this](std::int64_t f, std::int64_t t) {
                    if (ok(f) && ok(t)) content[static_cast<std::size_t>(t)] = content[static_cast<std::size_t>(f)];
                },
                [this](std::int64_t r, bool s) { if (ok(r)) shown[static_cast<std::size_t>(r)] = s; }};
    }
    std::vector<int> shownRows() const {
        std::vector<int> out;
        for (std::size_t i = 0; i < shown.size(); ++i) {
            if (shown[i]) out.push_back(static_cast<int>(i));
        }
        return out;
    }
};

struct Destinations : testing::Test {
    TestOwner owner;
    Rows rows{100};
    PListManager list{owner, 4, static_cast<ParamId>(600), 0, 1, 100, 1000, 1, ShortKey("N"), noNames(),
                      NamePair("Count"), "Kestrava targets", rows.ops()};
    void SetUp() override {
        list.updateViewFlags();
        // Loaded: count 3, rows 0 and 5 in use.
        rows.content[0] = "A";
        rows.content[5] = "F";
        list.markRowUsed(0);
        list.markRowUsed(5);
        list.setFromSaveText(0, "3");
    }
};
}  // namespace

TEST_F(Destinations, LooseRowsShowWhereTheyLie) {
    EXPECT_EQ(rows.shownRows(), (std::vector<int>{0, 1, 5}));
}

TEST_F(Destinations, DeleteCompactsFirst) {
    update(list, 3, {head(list), 1, 1, 0});
    EXPECT_TRUE(list.isCompacted());
    EXPECT_EQ(list.current(), 2);
    EXPECT_EQ(rows.content[0], "A");
    EXPECT_EQ(rows.content[1], "F");
    EXPECT_EQ(rows.shownRows(), (std::vector<int>{0, 1}));
    EXPECT_EQ(owner.userChanges.load(), 1);
    // Insert at 0 of the two compacted rows.
    update(list, 3, {head(list), 2, 0, 0});
    EXPECT_EQ(list.current(), 3);
    EXPECT_EQ(rows.content[0], "");
    EXPECT_EQ(rows.content[1], "A");
    EXPECT_EQ(rows.content[2], "F");
    EXPECT_EQ(rows.shownRows(), (std::vector<int>{0, 1, 2}));
    // Mark a later row used in the compacted state.
    list.markRowUsed(7);
    EXPECT_EQ(list.current(), 8);
    // setValue(0) shows row 0 (at least the minimum), stores 0.
    list.setValue(0);
    EXPECT_EQ(list.current(), 0);
    EXPECT_EQ(rows.shownRows(), (std::vector<int>{0}));
}

TEST_F(Destinations, RefusedActionsAndBadRows) {
    // Positions from the web past the count or negative, and short groups, move nothing.
    const std::int64_t before = list.current();
    update(list, 3, {head(list), 2, 50, 0});
    update(list, 3, {head(list), 2, 65535, 65535});  // -1
    update(list, 3, {head(list), 1, 70000, 0});
    update(list, 3, {head(list), 1});
    EXPECT_EQ(rows.badRows, 0);
    EXPECT_EQ(list.current(), before);
    EXPECT_EQ(owner.warnings.size(), 2u);
    // A view without edit rights.
    owner.setRights(5, 0xffffffffu, 0);
    list.updateViewFlags();
    update(list, 5, {head(list), 2, 0, 0});
    EXPECT_EQ(list.current(), before);
}

TEST(PListManager, LimitsAndDescriptions) {
    TestOwner owner;
    Rows rows(100);
    PListManager full(owner, 4, static_cast<ParamId>(600), 0, 1, 100, 1000, 100, ShortKey("N"), noNames(),
                      noNames(), "T", rows.ops());
    full.updateViewFlags();
    full.insertRow(3, 0);
    EXPECT_EQ(full.current(), 100);
    Rows accountRows(10);
    PListManager accounts(owner, 1, static_cast<ParamId>(601), 1, 1, 10, 127, 1, ShortKey("A"), noNames(),
                          noNames(), "User account setup", accountRows.ops());
    accounts.updateViewFlags();
    accounts.deleteRow(3, 0);
    EXPECT_EQ(accounts.current(), 1);
    OneWidget w(update(accounts, 3, {head(accounts, true)}));
    EXPECT_EQ(w.widget.header.type, LISTMANAGER);
    auto c = w.body();
    EXPECT_EQ(c.number32(), 1);
    EXPECT_EQ(c.number32(), 10);
    EXPECT_EQ(c.number32(), 1) << "the count";
    EXPECT_TRUE(c.atEnd());
    EXPECT_EQ(rows.badRows + accountRows.badRows, 0);
}
