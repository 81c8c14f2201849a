// Enumeration entries, lists and the enumeration parameter.
#include "params/LMEnumList.h"
#include "params/PEnum.h"
#include "params/TextCatalog.h"

#include "params/ParamsFixture.h"

#include <gtest/gtest.h>

#include <map>

using namespace kestrava::params;
using kestrava::ParamId;

namespace {
const ParamId enumId = static_cast<ParamId>(400);

PEnum bitRate(TestOwner& o, bool unknownOption, std::int32_t def = 320) {
    return PEnum(o, 4, enumId, &bitRateList(), unknownOption, 4096, def, ShortKey("Rate"), NamePair("S"),
                 NamePair("Rate"), "Bitrate (V1)");
}

struct Catalog : TextCatalog {
    std::map<std::string, std::string, std::less<>> table;
    std::optional<std::string> translate(std::string_view s, TextMode) const override {
        auto it = table.find(s);
        if (it == table.end()) return std::nullopt;
        return it->second;
    }
};
struct Export : TextExport {
    std::vector<std::string> lines;
    void add(std::string_view s, TextMode) override { lines.emplace_back(s); }
};
}  // namespace

TEST(LMEnum, LabelCapacity) {
    EXPECT_EQ(LMEnumType_Static(1, "k", "320 kbit/s (standard)").labelCapacity(), 128);
    EXPECT_EQ(LMEnumType_Static(1, "k", std::string(100, 'l')).labelCapacity(), 200);
    EXPECT_EQ(LMEnumType_Static(1, "k", std::string(150, 'l')).labelCapacity(), 256);
}

TEST(LMEnum, StaticListsCheckIndexesAndCutTexts) {
    LMEnum_StaticLengthList<47, 113> scopes;
    EXPECT_TRUE(scopes.add(5, std::string(120, 'k'), std::string(120, 'l')));
    EXPECT_EQ(scopes.getEntry(0)->getLabel().size(), 113u);
    EXPECT_FALSE(scopes.insertAt(3, 1, "k", "l", 0, true));
    EXPECT_FALSE(scopes.insertAt(-1, 1, "k", "l", 0, true));
    EXPECT_EQ(scopes.getEntry(1), nullptr);
    EXPECT_EQ(scopes.getEntry(-1), nullptr);
    EXPECT_TRUE(scopes.insertAt(0, 9, "first", "First", 0, true));
    EXPECT_EQ(scopes.getEntry(1)->value.load(), 5);
    for (int i = 2; i < 47; ++i) scopes.append("x");
    EXPECT_FALSE(scopes.append("full"));
    EXPECT_EQ(scopes.getCount(), 47);
    EXPECT_FALSE(scopes.getEntry(46)->selectable.load());
}

TEST(LMEnum, TranslationKeepsKeyAndSourceLabel) {
    LMEnumType_Static e(1, "key", "Label");
    Catalog cat;
    cat.table["Label"] = "Etikett";
    EXPECT_TRUE(e.retranslate(&cat, true));
    EXPECT_EQ(e.getLabel(), "Etikett");
    EXPECT_EQ(e.getKey(), "key");
    Export ex;
    e.exportTexts(ex);
    EXPECT_EQ(ex.lines, std::vector<std::string>{"Label"});
    LMEnumType_Dynamic<256> d;
    d.set(1, "k", "l", 0, true);
    EXPECT_FALSE(d.retranslate(&cat, true));
}

TEST(PEnum, BitRateWordsForAnExpandedWidget) {
    TestOwner o;
    PEnum p = bitRate(o, false);
    p.updateViewFlags();
    EXPECT_EQ(p.keyText(), "320");
    EXPECT_EQ(p.labelText(), "320 kbit/s (standard)");
    WordWriter out;
    WidgetContext w;
    w.effectiveView = 3;
    w.expand = true;
    p.writeWireState(RequestContext{3}, w, out);
    const std::vector<std::uint16_t> start{1, 320, 0, 5, 320, 0, 0, 1, 21, 0x3332, 0x3020, 0x6B62, 0x6974,
                                           0x2F73, 0x2028, 0x7374, 0x616E, 0x6461, 0x7264, 0x2900};
    ASSERT_GE(out.size(), start.size());
    EXPECT_EQ(std::vector<std::uint16_t>(out.data().begin(), out.data().begin() + start.size()), start);
    // The whole state through the independent reader.
    const auto& words = out.data();
    replyreader::Cursor c(words);
    const auto state = replyreader::readEnumState(c);
    ASSERT_TRUE(state.entries);
    ASSERT_EQ(state.entries->size(), 5u);
    EXPECT_EQ((*state.entries)[4].value, 400);
    EXPECT_EQ((*state.entries)[4].label, "400 kbit/s");
    EXPECT_TRUE(c.atEnd());
}

TEST(PEnum, LoadingKnownAndUnknownKeys) {
    TestOwner o;
    PEnum p = bitRate(o, true);
    p.setFromSaveText(0, "384  ");
    EXPECT_EQ(p.current(), 384);
    p.setFromSaveText(0, "999");
    EXPECT_EQ(p.current(), PEnum::unknownValue);
    EXPECT_TRUE(p.isUnknown());
    EXPECT_EQ(p.keyText(), "999");
    EXPECT_EQ(p.labelText(), "999 (not detected)");
    EXPECT_EQ(p.saveText(0), "999");
    WordWriter out;
    WidgetContext w;
    w.effectiveView = 3;
    w.force = true;
    p.writeWireState(RequestContext{3}, w, out);
    replyreader::Cursor c(out.data());
    const auto state = replyreader::readEnumState(c);
    EXPECT_EQ(state.value, PEnum::unknownValue);
    ASSERT_EQ(state.entries->size(), 6u);
    EXPECT_EQ(state.entries->back().value, -9999);
    EXPECT_EQ(state.entries->back().level, -1);
    EXPECT_EQ(state.entries->back().label, "999 (not detected)");
    // A listed value again drops the unknown entry and marks the list changed for views 0..29.
    for (int v = 0; v < viewCount; ++v) p.takeContentChanged(v);
    EXPECT_TRUE(p.setValue(340));
    EXPECT_FALSE(p.isUnknown());
    EXPECT_TRUE(p.isContentChanged(5));
    EXPECT_FALSE(p.isContentChanged(30));

    PEnum strict = bitRate(o, false, 360);
    strict.setFromSaveText(0, "999");
    EXPECT_EQ(strict.current(), 360);
    EXPECT_EQ(strict.keyText(), "");
    EXPECT_EQ(strict.labelText(), "");
}

TEST(PEnum, WebInputTakesListedValuesOnly) {
    TestOwner o;
    PEnum p = bitRate(o, true);
    p.updateViewFlags();
    update(p, 3, {head(p), 384, 0});
    EXPECT_EQ(p.current(), 384);
    EXPECT_TRUE(o.warnings.empty());
    update(p, 3, {head(p), 999, 0});
    EXPECT_EQ(p.current(), 384);
    EXPECT_EQ(o.warnings.size(), 1u);
    update(p, 3, {head(p), 55537, 65535});  // -9999 is not offered while no unknown entry is shown
    EXPECT_EQ(p.current(), 384);
    update(p, 3, {head(p), 320});  // short group: refused
    EXPECT_EQ(p.current(), 384);
    EXPECT_EQ(o.warnings.size(), 3u);
}

TEST(PEnum, DuplicateValuesSelectableAndSlider) {
    TestOwner o;
    LMEnum_StaticLengthList<256, 256> list;
    list.add(1, "a", "A first");
    list.add(1, "b", "B second");
    list.insertAt(2, 2, "c", "C hidden", 0, false);
    PEnum p(o, 4, enumId, &list, false, 4096, 1, ShortKey("E"), noNames(), noNames(), "E");
    EXPECT_EQ(p.keyText(), "b");
    EXPECT_EQ(p.formatValue(0, 1), "A first");
    EXPECT_EQ(p.saveText(0), "a");
    EXPECT_EQ(p.formatValue(0, 2), "");
    EXPECT_EQ(p.valueFromSliderPosition(0, 0.09375f), 384);
    EXPECT_EQ(p.valueFromSliderPosition(0, -0.00001f), 0);
    // Index 30 is not raised by building.
    EXPECT_FALSE(p.valueChanged.test(30));
}

TEST(PEnum, DefaultOutsideTheListShowsDashesWithALine) {
    TestOwner o;
    PEnum p = bitRate(o, false, 123);
    testing::internal::CaptureStderr();
    EXPECT_EQ(p.displayText(), "---");
    EXPECT_NE(testing::internal::GetCapturedStderr().find("index is 5/5 while unknown is not active"),
              std::string::npos);
}
