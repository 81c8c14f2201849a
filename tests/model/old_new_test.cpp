#include "model/OldNew.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using kestrava::model::OldNew;
using kestrava::model::OldNew_cstr;

TEST(OldNew, TextsTrackTheirPendingSideAndAreCutToTheirWidth) {
    OldNew_cstr<33> name;
    EXPECT_FALSE(name.isChanged());
    name.setNew("a");
    EXPECT_TRUE(name.isChanged());
    name.accept();
    EXPECT_FALSE(name.isChanged());
    EXPECT_EQ(name.committed(), "a");

    OldNew_cstr<32> entry;
    entry.init(std::string(40, 'x'));
    EXPECT_EQ(entry.committed(), std::string(32, 'x'));
    EXPECT_EQ(entry.pending(), std::string(32, 'x'));

    entry.setNew("typed");
    entry.revert();
    EXPECT_EQ(entry.pending(), entry.committed());
    EXPECT_FALSE(entry.isChanged());

    // What follows a NUL is not part of the text.
    OldNew_cstr<64> hash;
    hash.setOld(std::string("ab\0cd", 5));
    hash.setNew(std::string("ab\0ef", 5));
    EXPECT_FALSE(hash.isChanged());
}

TEST(OldNew, FlagsAndNumbers) {
    OldNew<int> level(3, 1);
    EXPECT_TRUE(level.isChanged());
    level.revert();
    EXPECT_EQ(level.oldValue, 3);
    EXPECT_EQ(level.newValue, 3);
    OldNew<bool> flag;
    flag.newValue = true;
    EXPECT_TRUE(flag.isChanged());
    flag.accept();
    EXPECT_TRUE(flag.oldValue);
    EXPECT_FALSE(flag.isChanged());
}

}  // namespace
