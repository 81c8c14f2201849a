#include "FactoryTree.h"

#include "params/PEnum.h"
#include "params/ids/ParamIdName.h"
#include "settings/SectionNames.h"
#include "settings/ValueTables.h"

#include <gtest/gtest.h>

namespace {

using namespace kestrava;
using namespace kestrava::params;
using settingstest::FactoryTree;

struct Entry {
    std::int32_t value;
    const char* key;
    const char* label;
};

void expectEntries(const LMEnumList& list, std::initializer_list<Entry> want) {
    ASSERT_EQ(list.getCount(), static_cast<int>(want.size()));
    int i = 0;
    for (const Entry& e : want) {
        SCOPED_TRACE(i);
        const LMEnumType* got = list.getEntry(i++);
        EXPECT_EQ(got->value.load(), e.value);
        EXPECT_EQ(got->getKey(), e.key);
        EXPECT_EQ(got->getLabel(), e.label);
    }
}

TEST(ValueTables, SizesAndSampledEntries) {
    EXPECT_EQ(settings::bitrateV0List().getCount(), 5);
    EXPECT_EQ(settings::bitrateV1List().getCount(), 12);
    EXPECT_EQ(settings::bitrateV4PlusList().getCount(), 14);
    EXPECT_EQ(settings::vbrQualityList().getCount(), 15);
    EXPECT_EQ(settings::vbrBitsList().getCount(), 17);
    EXPECT_EQ(settings::gpsDeviceList().getCount(), 17);
    EXPECT_EQ(settings::gpsBaudrateList().getCount(), 11);
    expectEntries(settings::versionList(), {{0, "1", "1"}, {1, "2", "2"}, {2, "3", "3"}, {3, "4", "4"}});
    expectEntries(settings::adminMaskLevelList(), {{0, "No", "Hide"}, {1, "View", "View"}, {3, "Edit", "Modify"}});
    expectEntries(settings::quickMaskLevelList(), {{0, "No", "Hide"}, {1, "View", "View"}, {3, "Edit", "Modify"}});
    EXPECT_NE(&settings::adminMaskLevelList(), &settings::quickMaskLevelList());

    const LMEnumList& gps = settings::gpsDeviceList();
    EXPECT_EQ(gps.getEntry(0)->value.load(), -1);
    EXPECT_EQ(gps.getEntry(0)->getKey(), "Other input");
    EXPECT_EQ(gps.getEntry(15)->getKey(), "COM15");
    EXPECT_EQ(gps.getEntry(16)->value.load(), -2);
    EXPECT_EQ(gps.getEntry(16)->getLabel(), "Use system clock (must be accurate within 0.5 seconds)");
    const LMEnumList& plus = settings::bitrateV4PlusList();
    EXPECT_EQ(plus.getEntry(0)->getLabel(),
              "176 kbit/s (low quality, may exceed ITU-R.1268), requires decoder support");
    EXPECT_EQ(plus.getEntry(13)->value.load(), 800);
    EXPECT_EQ(settings::bitrateV1List().getEntry(8)->getLabel(), "640 kbit/s (Version 4+)");
    EXPECT_EQ(settings::vbrBitsList().getEntry(16)->getKey(), "-96 dB");
    EXPECT_EQ(settings::gpsBaudrateList().getEntry(10)->value.load(), 256000);
}

TEST(ValueTables, DisplayBufferFollowsTheLabelLength) {
    const auto* clock = dynamic_cast<const LMEnumType_Static*>(settings::gpsDeviceList().getEntry(16));
    const auto* plus512 = dynamic_cast<const LMEnumType_Static*>(settings::bitrateV4PlusList().getEntry(8));
    ASSERT_NE(clock, nullptr);
    ASSERT_NE(plus512, nullptr);
    EXPECT_EQ(clock->labelCapacity(), 128);
    EXPECT_EQ(plus512->labelCapacity(), 128);
    EXPECT_EQ(LMEnumType_Static(1, "k", std::string(100, 'x')).labelCapacity(), 200);
}

struct SavedText {
    ParamId id;
    std::int32_t before;   // a listed value the row holds before the load
    const char* fileText;
    std::int32_t loaded;   // value after loading the text
    const char* saved;     // text the next save writes
};

TEST(ValueTables, RowsSaveKeysAndLoadOnlyListedKeys) {
    const SavedText cases[] = {
        {PARAM_KVRA_Version, 1, "4", 3, "4"},
        {PARAM_KVRA_Version, 2, "1", 0, "1"},
        {PARAM_KVRA_VariableBitrateBits, 256, "-58 dB", 80, "-58 dB"},
        {PARAM_KVRA_VariableBitrateBits, 256, "-58 dB ", 80, "-58 dB"},  // trailing blank removed
        {PARAM_KVRA_VariableBitrateBits, 256, "-58 DB", 32, "-66 dB"},   // other case: the default
        {PARAM_KVRA_Bitrate_V0, 400, "330", 320, "320"},                 // not listed: the default
        {PARAM_KVRA_VariableBitrateQuality, 800, "0", 0, "0"},
        {PARAM_KVRA_GpsNmeaDeviceSelection, 3, "System clock", -2, "System clock"},
        {PARAM_KVRA_GpsNmeaDeviceSelection, 3, "COM16", -1, "Other input"},
    };
    for (const SavedText& c : cases) {
        SCOPED_TRACE(std::string(getParamIdName(c.id)) + " <- " + c.fileText);
        FactoryTree t;
        t.build();
        auto& row = t.row<PEnum>(c.id);
        ASSERT_TRUE(row.setValue(c.before));
        row.setFromSaveText(0, c.fileText);
        EXPECT_EQ(row.current(), c.loaded);
        EXPECT_EQ(row.saveText(0), c.saved);
    }
}

TEST(SectionNames, TheEntriesThisProgramUses) {
    struct Case {
        int entry;
        const char* name;
    };
    for (const Case c : {Case{0, "User rights"}, Case{4, "Web interface"}, Case{10, "Input sound card"},
                         Case{14, "Corvix Kestrava Encoder"}, Case{86, "Preset info"}}) {
        const NamePair& n = settings::sectionName(c.entry);
        EXPECT_EQ(n.count, 1);
        EXPECT_EQ(n.name, c.name);
        EXPECT_TRUE(n.alternative.empty());
    }
    EXPECT_EQ(settings::sectionNames().size(), 88u);
    EXPECT_EQ(settings::sectionName(88).count, 0);
    EXPECT_EQ(settings::sectionName(-1).count, 0);
}

}  // namespace
