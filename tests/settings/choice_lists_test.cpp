#include "FactoryTree.h"

#include "params/PEnum.h"
#include "settings/ChoiceLists.h"

#include <gtest/gtest.h>

#include <set>

using kestrava::audio::soundcard::SoundcardEntry;

namespace {

using namespace kestrava;
using settingstest::FixedInterfaces;

std::vector<std::string> labels(const params::LMEnumList& list) {
    std::vector<std::string> out;
    for (int i = 0; i < list.getCount(); ++i) out.push_back(list.getEntry(i)->getLabel());
    return out;
}

TEST(SoundcardChoices, SortedByLabelIgnoringCaseWithEqualLabelsInDeviceOrder) {
    auto list = std::make_unique<settings::SoundcardChoices>();
    settings::fillSoundcardList(*list, {{1, "b", "kb"}, {2, "A", "kA"}, {3, "a", "ka"}, {4, "ab", "kab"}});
    EXPECT_EQ(labels(*list), (std::vector<std::string>{"A", "a", "ab", "b"}));
    EXPECT_EQ(list->getEntry(0)->value.load(), 2);
    EXPECT_EQ(list->getEntry(0)->getKey(), "kA");
    EXPECT_TRUE(list->getEntry(0)->selectable.load());
}

TEST(SoundcardChoices, NoDeviceGivesThePlaceholderAndControlCharactersAreDropped) {
    auto empty = std::make_unique<settings::SoundcardChoices>();
    settings::fillSoundcardList(*empty, {});
    ASSERT_EQ(empty->getCount(), 1);
    EXPECT_EQ(empty->getEntry(0)->value.load(), -1);
    EXPECT_EQ(empty->getEntry(0)->getKey(), "No sound cards found");

    auto list = std::make_unique<settings::SoundcardChoices>();
    settings::fillSoundcardList(*list, {{0, "Line\r\nIn\t(x)", "Line\nIn (x)"}});
    EXPECT_EQ(list->getEntry(0)->getLabel(), "LineIn(x)");
    EXPECT_EQ(list->getEntry(0)->getKey(), "LineIn (x)");
}

TEST(SoundcardChoices, SurplusDevicesAreDropped) {
    std::vector<SoundcardEntry> many;
    for (int i = 0; i < 300; ++i) many.push_back({i, "card " + std::to_string(1000 + i), "k"});
    auto list = std::make_unique<settings::SoundcardChoices>();
    settings::fillSoundcardList(*list, many);
    EXPECT_EQ(list->getCount(), 256);
    EXPECT_EQ(list->getEntry(255)->getLabel(), "card 1255");
}

TEST(InterfaceChoices, AutomaticFirstThenAdaptersWithIpv4AndDistinctValues) {
    FixedInterfaces machine({
        {"eth0", "192.168.1.2", "fe80::1", 2},
        {"v6only", "", "fe80::2", 3},
        {"bad\naddr", "not an address", "", 4},
        {"eth0:copy", "192.168.1.2", "", 5},
        {"zero", "0.0.0.0", "", 6},
    });
    auto list = std::make_unique<settings::InterfaceChoices>();
    settings::fillInterfaceList(*list, machine);
    EXPECT_EQ(labels(*list), (std::vector<std::string>{"Automatic", "eth0", "badaddr", "eth0:copy", "zero"}));
    EXPECT_EQ(list->getEntry(0)->value.load(), 0);
    EXPECT_EQ(static_cast<std::uint32_t>(list->getEntry(1)->value.load()), 3232235778u);
    std::set<std::int32_t> values;
    for (int i = 0; i < list->getCount(); ++i) values.insert(list->getEntry(i)->value.load());
    EXPECT_EQ(values.size(), 5u) << "every entry's value names one adapter";
    EXPECT_EQ(values.count(params::PEnum::unknownValue), 0u);
}

TEST(InterfaceChoices, FullListStopsAt512Entries) {
    std::vector<net::NetworkInterface> many;
    for (int i = 0; i < 600; ++i) many.push_back({"if" + std::to_string(i), "10.0." + std::to_string(i / 256) + "." + std::to_string(i % 256), "", i});
    FixedInterfaces machine(many);
    auto list = std::make_unique<settings::InterfaceChoices>();
    settings::fillInterfaceList(*list, machine);
    EXPECT_EQ(list->getCount(), 512);
    EXPECT_EQ(list->getEntry(511)->getKey(), "if510");
}

TEST(InterfaceChoices, DestinationRowsAcceptValuesOutsideTheList) {
    settingstest::FactoryTree t;
    t.build();
    auto& nic = t.row<params::PEnum>(static_cast<ParamId>(PARAM_KVRA_Interface_0 + 3));
    EXPECT_TRUE(nic.setValue(12345));
    EXPECT_EQ(nic.current(), 12345);
}

}  // namespace
