// Integer parameters: slider steps, typed text, texts and their words.
#include "params/PInt.h"
#include "params/TextCatalog.h"

#include "params/ParamsFixture.h"

#include <gtest/gtest.h>

#include <bit>

using namespace kestrava::params;
using kestrava::ParamId;

namespace {
const ParamId intId = static_cast<ParamId>(500);

struct Packets : testing::Test {
    TestOwner owner;
    PInt p{owner, 4, intId, 6, 0, 255, 4096, 12, ShortKey("EC"), noNames(), NamePair("Delay"),
           "Error correction size / Delay", "%d packets"};
    void SetUp() override {
        p.updateTextWidth();
        p.updateViewFlags();
    }
    // A slider command through the update step, from view 3.
    void command(std::int32_t c, float amount, std::int32_t mode) {
        update(p, 3, {head(p), c, std::bit_cast<std::int32_t>(amount), mode});
    }
    void typed(std::string_view text) {
        std::vector<std::int32_t> v{head(p), 3, static_cast<std::int32_t>(text.size())};
        for (char ch : text) v.push_back(static_cast<unsigned char>(ch));
        update(p, 3, v);
    }
};
}  // namespace

TEST_F(Packets, ExpandedWordsThroughTheReader) {
    p.setFromSaveText(0, "7");
    p.setValue(12);
    OneWidget w(update(p, 3, {head(p, true)}));
    EXPECT_EQ(w.widget.header.type, SLIDER);
    auto c = w.body();
    const auto slider = replyreader::readSliderDescription(c);
    const auto field = replyreader::readTextFieldDescription(c);
    EXPECT_EQ(slider.stepsNormal, 1);
    EXPECT_EQ(slider.stepsDrag, 1);
    EXPECT_EQ(slider.stepsFast, 10);
    EXPECT_EQ(field.maxLen, 28);
    EXPECT_FALSE(field.isPassword);
    EXPECT_EQ(field.hashWithId, -1);
    const auto state = replyreader::readNumberState(c);
    EXPECT_EQ(state.stepBase, 255);
    EXPECT_EQ(state.currentPosition, 12);
    EXPECT_EQ(state.savedPosition, 7);
    EXPECT_EQ(state.valueText, "12 packets");
    EXPECT_EQ(state.editableText, "12");
    EXPECT_TRUE(c.atEnd());
}

TEST_F(Packets, StepCommands) {
    struct Case { std::int64_t from; float steps; std::int32_t mode; std::int64_t to; };
    for (const Case& k : {Case{254, 1.0f, 0, 255}, Case{255, 1.0f, 0, 255}, Case{3, 1.0f, 2, 10},
                          Case{251, 1.0f, 2, 255}, Case{15, -1.0f, 2, 10}, Case{100, 3.0f, 1, 103}}) {
        p.setValue(k.from);
        command(2, k.steps, k.mode);
        EXPECT_EQ(p.current(), k.to) << "from " << k.from << " by " << k.steps << " mode " << k.mode;
    }
    p.setValue(0);
    command(1, 0.5f, 0);
    EXPECT_EQ(p.current(), 128) << "127.5 steps round away from zero";
    // Bad numbers in the group never move the value and are reported.
    p.setValue(50);
    command(1, std::numeric_limits<float>::quiet_NaN(), 0);
    command(2, 1e30f, 2);
    EXPECT_EQ(p.current(), 255);
    update(p, 3, {head(p), 2, std::bit_cast<std::int32_t>(1.0f)});  // mode missing
    EXPECT_EQ(p.current(), 255);
    EXPECT_EQ(owner.warnings.size(), 1u);
}

TEST_F(Packets, TypedTextWithAndWithoutTheCompanionValue) {
    typed("300");
    EXPECT_EQ(p.current(), 12);
    typed(" 42abc");
    EXPECT_EQ(p.current(), 42);
    typed("");
    EXPECT_EQ(p.current(), 42);

    PInt rate(owner, 4, intId, 6, 0, 512, 16384, 20, ShortKey("R"), noNames(), noNames(), "Limit", "%d kbit/s");
    rate.setCompanionValue(100);
    EXPECT_EQ(rate.getText(3), "120 kbit/s");
    EXPECT_EQ(rate.getFieldText(3), "120");
    EXPECT_TRUE(rate.setFromTypedText("150", true));
    EXPECT_EQ(rate.current(), 50);
    EXPECT_FALSE(rate.setFromTypedText("99", true));
    rate.valueChanged.clear(allViewBits);
    rate.setCompanionValue(100);
    EXPECT_EQ(rate.valueChanged.word(), 0u);
}

TEST_F(Packets, SaveAndDisplayTexts) {
    PInt wide(owner, 4, intId, 8, -1000000000, 1000000000, 1000, 0, ShortKey("W"), noNames(), noNames(), "W", "%d");
    wide.setValue(-5);
    EXPECT_EQ(wide.saveText(0), "-5");
    for (auto [text, value] : {std::pair{"12.9", 12}, {"-3.7", -3}, {"1e3", 1000}, {"abc", 0}}) {
        wide.setFromSaveText(0, text);
        EXPECT_EQ(wide.current(), value) << text;
    }
    wide.setValue(123456789);
    EXPECT_EQ(wide.displayText(), "1234567");
    // Unchanged format: no second marking.
    p.valueChanged.clear(allViewBits);
    p.updateTextWidth();
    EXPECT_EQ(p.valueChanged.word(), 0u);
}

TEST(PDec, TypedDigitsAndTexts) {
    TestOwner o;
    PDec port(o, 4, static_cast<ParamId>(501), 5, 8854, ShortKey("P"), noNames(), NamePair("Port"), "Port", "%d");
    port.updateTextWidth();
    EXPECT_EQ(port.getMaxLen(), 5);
    EXPECT_EQ(port.maximum(), 99999);
    for (auto [text, value] : {std::pair{"-80", 80}, {"080", 80}, {"8a0", 8}}) {
        port.setValue(1);
        EXPECT_TRUE(port.setFromTypedText(text, true)) << text;
        EXPECT_EQ(port.current(), value) << text;
    }
    EXPECT_FALSE(port.setFromTypedText("none", true));
    EXPECT_FALSE(port.setFromTypedText("123456", true));
    EXPECT_EQ(port.getFieldText(0), "8");
    EXPECT_EQ(port.widgetType(), DEC);
}

TEST(PInt, TranslatedFormatThatDoesNotCheckOutFallsBack) {
    struct Bad : TextCatalog {
        std::optional<std::string> translate(std::string_view, TextMode mode) const override {
            return mode == TextMode::format ? std::optional<std::string>("%s %n") : std::nullopt;
        }
    } catalog;
    TestOwner o;
    o.catalog = &catalog;
    PInt p(o, 4, intId, 6, 0, 255, 4096, 12, ShortKey("EC"), noNames(), noNames(), "N", "%d packets");
    p.retranslate();
    EXPECT_EQ(p.format(), "%s %n");
    EXPECT_EQ(p.getText(0), "12 packets");
}
