// The four stored values and the rules that move values between them.
#include "params/PInt.h"

#include "params/ParamsFixture.h"

#include <gtest/gtest.h>

using namespace kestrava::params;
using kestrava::ParamId;

namespace {
struct IntFixture : testing::Test {
    TestOwner owner;
    PInt p{owner, 4, static_cast<ParamId>(100), 6, 0, 255, 4096, 10, ShortKey("K", "K2"), NamePair("Sec", "SecAlt"),
           NamePair("Key"), "Number", "%d"};
    void clearFlags() { p.valueChanged.clear(allViewBits); }
};
}  // namespace

TEST_F(IntFixture, ValueKindsSelectTheStoredValues) {
    p.storeAlternate(30);
    p.setFromSaveText(0, "20");
    p.setValue(40);
    EXPECT_EQ(p.getValue(-1), 40);
    EXPECT_EQ(p.getValue(7), 40);
    EXPECT_EQ(p.getValue(0), 10);
    EXPECT_EQ(p.getValue(1), 10);
    EXPECT_EQ(p.getValue(2), 20);
    EXPECT_EQ(p.getValue(3), 30);
    EXPECT_EQ(p.getValue(4), 30);
}

TEST_F(IntFixture, SetValueRaisesAllFlagsOnlyOnChange) {
    clearFlags();
    EXPECT_FALSE(p.setValue(10));
    EXPECT_EQ(p.valueChanged.word(), 0u);
    EXPECT_TRUE(p.setValue(11));
    EXPECT_EQ(p.valueChanged.word(), allViewBits);
}

TEST_F(IntFixture, ApplyValue) {
    // Saved differs from the default, current already at the default: saved is reset, all flags
    // raised, the result false.
    p.setFromSaveText(0, "50");
    p.setValue(10);
    clearFlags();
    EXPECT_FALSE(p.applyValue(ValueKind::defaultValue, false));
    EXPECT_EQ(p.getValue(ValueKind::saved), 10);
    EXPECT_EQ(p.valueChanged.word(), allViewBits);
    // Kind 4 with alternate equal to default changes nothing.
    p.setValue(99);
    EXPECT_FALSE(p.applyValue(ValueKind::alternateIfDistinct, false));
    EXPECT_EQ(p.current(), 99);
    // Kind 1: the default, saved kept; with notify the owner hears of it.
    p.setFromSaveText(0, "60");
    EXPECT_TRUE(p.applyValue(ValueKind::defaultKeepSaved, true));
    EXPECT_EQ(p.current(), 10);
    EXPECT_EQ(p.getValue(ValueKind::saved), 60);
    EXPECT_EQ(owner.userChanges.load(), 1);
    EXPECT_FALSE(p.isAtDefault());
    // Kind 3 copies the alternate into saved and makes it current.
    p.storeAlternate(77);
    EXPECT_TRUE(p.applyValue(ValueKind::alternate, false));
    EXPECT_EQ(p.current(), 77);
    EXPECT_EQ(p.getValue(ValueKind::saved), 77);
    // Preset mode 0 forbids it; 4 is neither preset nor resettable.
    p.setPresetMode(0);
    EXPECT_FALSE(p.applyValue(ValueKind::defaultKeepSaved, false));
    p.setPresetMode(4);
    EXPECT_FALSE(p.isPresetSetting());
    EXPECT_FALSE(p.isResettable());
    EXPECT_FALSE(p.resetIfAlternate());
}

TEST_F(IntFixture, LoadingATextEqualToTheCurrentValueMarksViewsZeroTo29) {
    p.setValue(25);
    clearFlags();
    EXPECT_FALSE(p.setFromSaveText(0, "25"));
    EXPECT_EQ(p.getValue(ValueKind::saved), 25);
    EXPECT_EQ(p.valueChanged.word(), allViewBits & ~anyViewBit);
}

TEST_F(IntFixture, LoadedValuesOutsideTheRangeKeepTheDefaultWithAWarning) {
    p.setValue(40);
    p.setFromSaveText(0, "300");
    EXPECT_EQ(p.current(), 10);
    EXPECT_EQ(p.getValue(ValueKind::saved), 10);
    ASSERT_EQ(owner.warnings.size(), 1u);
    EXPECT_NE(owner.warnings[0].find("Key"), std::string::npos);
}

TEST_F(IntFixture, SettingsFileIdentity) {
    EXPECT_EQ(p.sectionName(), "SecAlt");
    EXPECT_EQ(p.keyName(3), "Key");
    EXPECT_EQ(p.shortKey(), "K");
    EXPECT_EQ(p.shortKey2(), "K2");
    EXPECT_EQ(p.valueCount(), 1);
    p.setLoadable(false);
    p.setLoadableFromFullFileOnly(true);
    EXPECT_FALSE(p.isLoadableInView(false, 3));
    EXPECT_TRUE(p.isLoadableInView(true, 3));
    EXPECT_TRUE(p.isLoadableInView(true, -1));
    EXPECT_EQ(NamePair(std::string(120, 'a')).name.size(), 100u);
    EXPECT_EQ(ShortKey("LongerThan8").first, "LongerTh");
}
