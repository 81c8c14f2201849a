// Float parameters: step bases and counts, slider mapping, special values, texts and words.
#include "params/PFloat.h"
#include "params/PFloatDb.h"

#include "params/ParamsFixture.h"

#include <gtest/gtest.h>

#include <bit>

using namespace kestrava::params;
using kestrava::ParamId;

namespace {
const ParamId floatId = static_cast<ParamId>(700);

std::unique_ptr<PFloat> makeFloat(TestOwner& o, float lo, float hi, float def, std::int32_t code,
                                  std::string_view format, float factor = 1.0f, float exponent = 1.0f) {
    auto p = std::make_unique<PFloat>(o, 4, floatId, 1, lo, hi, 10, def, code, exponent, ShortKey("F"), noNames(),
                                      NamePair("F"), "Float", format, factor);
    p->updateTextWidth();
    p->updateViewFlags();
    return p;
}

void step(Param& p, float amount, std::int32_t mode, std::int32_t command = 2) {
    update(p, 3, {head(p), command, std::bit_cast<std::int32_t>(amount), mode});
}

std::tuple<int, int, int> steps(PFloat& p) {
    p.updateSteps();
    return {p.stepsNormal(), p.stepsDrag(), p.stepsFast()};
}
}  // namespace

TEST(PFloat, ResetIntervalWordsAndWidths) {
    TestOwner o;
    auto p = makeFloat(o, 0, 5, 2.5f, 1, "%.1f sec");
    EXPECT_EQ(p->getStepBase(), 50.0f);
    EXPECT_EQ(steps(*p), std::make_tuple(1, 1, 1));
    EXPECT_FLOAT_EQ(p->getPosition(ValueKind::current), 0.5f);
    EXPECT_EQ(p->getMaxLen(), 44);
    EXPECT_EQ(p->getFieldLength(), 40);
    OneWidget w(update(*p, 3, {head(*p, true)}));
    auto c = w.body();
    EXPECT_EQ(replyreader::readSliderDescription(c).stepsFast, 1);
    EXPECT_EQ(replyreader::readTextFieldDescription(c).maxLen, 44);
    const auto state = replyreader::readNumberState(c);
    EXPECT_EQ(state.stepBase, 50);
    EXPECT_EQ(state.currentPosition, 25);
    EXPECT_EQ(state.savedPosition, 25);
    EXPECT_EQ(state.valueText, "2.5 sec");
    EXPECT_EQ(state.editableText, "2.5");
    EXPECT_TRUE(c.atEnd());
    // The stated words of those texts.
    WordWriter out;
    out.text(state.valueText, 100);
    EXPECT_EQ(out.data(), (std::vector<std::uint16_t>{7, 0x322E, 0x3520, 0x7365, 0x6300}));
}

TEST(PFloat, StepBasesAndCounts) {
    TestOwner o;
    struct Case { float lo, hi; std::int32_t code; float base; std::tuple<int, int, int> counts; };
    for (const Case& k : {Case{-1, 1, 2, 200, {5, 1, 10}}, Case{-0.0f, 0.25f, 3, 250, {5, 1, 10}},
                          Case{0, 5, 268435457, 100, {5, 1, 10}}, Case{0, 3600, 1, 36000, {50, 100, 500}},
                          Case{0, 8, 1, 80, {2, 1, 5}}, Case{0, 600, 1, 6000, {10, 50, 100}}}) {
        auto p = makeFloat(o, k.lo, k.hi, 0, k.code, "%f");
        EXPECT_EQ(p->getStepBase(), k.base) << k.lo << ".." << k.hi;
        EXPECT_EQ(steps(*p), k.counts) << k.lo << ".." << k.hi;
    }
    auto centred = makeFloat(o, -1, 1, 0, 2, "+%.2f s");
    EXPECT_FLOAT_EQ(centred->getPosition(ValueKind::current), 0.5f);
    auto negZero = makeFloat(o, -0.0f, 0.25f, 0.1f, 3, "%.3f s");
    EXPECT_FLOAT_EQ(negZero->sliderPosition(0), 0.1f / 10.0f) << "a minimum of -0.0 is not below 0";
}

TEST(PFloat, SliderMoves) {
    TestOwner o;
    auto p = makeFloat(o, -1, 1, 0, 2, "+%.2f s");
    struct Case { float from; float amount; std::int32_t mode, command; float to; };
    for (const Case& k : {Case{0.0f, 1, 0, 2, 0.05f}, Case{0.0f, -1, 2, 2, -0.1f}, Case{0.0f, 3, 1, 2, 0.03f},
                          Case{0.03f, 1, 0, 2, 0.05f}, Case{0.03f, -1, 0, 2, 0.0f}, Case{0.0f, 1.5f, 0, 1, 1.0f},
                          Case{0.0f, 1.0f, 1, 1, 0.01f}}) {
        p->setValue(k.from);
        step(*p, k.amount, k.mode, k.command);
        EXPECT_NEAR(p->current(), k.to, 1e-6) << "from " << k.from << " cmd " << k.command << " mode " << k.mode;
    }
    // Typed text is never applied to kind 5; it is read and ignored.
    PTilt tilt(o, 4, floatId, -5, 5, 50, 5, 6, 1, ShortKey("T"), noNames(), noNames(), "RC", "%s", 1);
    tilt.updateViewFlags();
    const std::vector<std::int32_t> group{head(tilt), 3, 1, '1'};
    const RequestValues typed(group);
    WidgetContext widget;
    EXPECT_FALSE(tilt.readWireInput(RequestContext{3}, typed, widget));
    EXPECT_EQ(tilt.current(), 5.0f);
}

TEST(PFloat, SpecialValues) {
    TestOwner o;
    auto p = makeFloat(o, 1, 10, 5, 1, "%.1f");
    p->setLowSpecial(0.5f, "Off");
    EXPECT_EQ(p->effectiveMinimum(), 1.0f);
    p->setValue(0.3f);
    EXPECT_EQ(p->current(), 0.5f);
    EXPECT_EQ(p->getText(0), "Off");
    EXPECT_EQ(p->positionToValue(0.0f), 0.5f);
    EXPECT_EQ(p->valueToPosition(0.5f), 0.0f);
    EXPECT_TRUE(p->isInRange(0.5f));
    EXPECT_FALSE(p->isInRange(0.7f));
    EXPECT_EQ(p->saveText(0), "0.5 (Off)");
    EXPECT_EQ(p->parseText(0, "0.5 (Off)"), 0.5f);
    p->setLowSpecial(0.5f, std::nullopt);
    p->setValue(0.3f);
    EXPECT_FLOAT_EQ(p->current(), 0.3f);
    EXPECT_FALSE(p->isInRange(0.5f));
    EXPECT_FLOAT_EQ(p->parseText(0, "0.7 (Off)"), 0.7f);
}

TEST(FloatTexts, DisplayCleanUpAndRounding) {
    TestOwner o;
    struct Case { std::int32_t code; const char* format; float v; const char* text; };
    for (const Case& k : {Case{2, "+%.2f s", 0.0f, " 0.00 s"}, Case{2, "+%.2f s", -0.25f, "+-0.25 s"},
                          Case{2, "+%.2f s", 0.004f, " 0.00 s"}, Case{268435457, "%.1f", 2.26f, "2.5"},
                          Case{0x12000000, "%.1f", 12345, "12300.0"}, Case{0x12000000, "%.1f", 1234.5f, "1230.0"},
                          Case{0x12000000, "%.1f", 123.4f, "123.0"}, Case{0x12000000, "%.2f", 12.34f, "12.30"},
                          Case{0x12000000, "%.2f", 9.87f, "9.87"}, Case{0x12000000, "%.0f", -500, "-500"},
                          Case{0x11000000, "%.0f", 1234, "1200"}, Case{0x11000000, "%.0f", 740, "750"},
                          Case{0x11000000, "%.0f", 234, "230"}, Case{0x11000000, "%.0f", 77, "75"},
                          Case{0x11000000, "%.1f", 33.3f, "33.0"}, Case{0x11000000, "%.1f", 7.3f, "7.4"},
                          Case{0x11000000, "%.2f", 3.14f, "3.10"}, Case{0x11000000, "%.1f", 0.5f, "0.5"},
                          Case{3, "%.3f$ s", 0.25f, "0.25 s"}, Case{3, "%.3f$ s", 2, "2 s"},
                          Case{3, "%.3f$ s", 2.125f, "2.125 s"}, Case{0, "%.0f$", 12, "12"},
                          Case{2, "x %.2f", 1, "  1.00"}}) {
        auto p = makeFloat(o, -100000, 100000, 0, k.code, k.format);
        EXPECT_EQ(p->formatValue(0, k.v), k.text) << k.format << " " << k.v;
    }
    auto p = makeFloat(o, -1, 1, -0.25f, 2, "+%.2f s");
    EXPECT_EQ(p->getFieldText(0), "-0.25");
}

TEST(FloatTexts, SaveTextsAndTyping) {
    TestOwner o;
    auto p = makeFloat(o, -10000, 10000, 0, 1, "%.1f sec");
    for (auto [v, text] : {std::pair{2.5f, "2.5"}, {5.0f, "5"}, {3600.0f, "3600"}, {0.1f, "0.100000001"},
                           {0.0000000001f, "0"}, {-0.0f, "-0"}, {0.25f, "0.25"}}) {
        p->setValue(v);
        EXPECT_EQ(p->saveText(0), text) << v;
    }
    EXPECT_TRUE(p->setFromTypedText("2.5 sec", true));
    EXPECT_EQ(p->current(), 2.5f);
    EXPECT_FALSE(p->setFromTypedText("", true));
    EXPECT_TRUE(p->setFromTypedText("abc", true));
    EXPECT_EQ(p->current(), 0.0f);
    auto percent = makeFloat(o, 0, 1, 0, 1, "%.1f%%", 100);
    EXPECT_TRUE(percent->setFromTypedText("50", true));
    EXPECT_EQ(percent->current(), 0.5f);
    EXPECT_EQ(percent->displayText(), "50.0");
    // Loaded texts that are not numbers within the range keep the default.
    p->setFromSaveText(0, "nan");
    EXPECT_EQ(p->current(), 0.0f);
    EXPECT_EQ(o.warnings.size(), 1u);
}

TEST(PFloatDb, InputGain) {
    TestOwner o;
    PFloatDb gain(o, 4, floatId, 1, 40, 100, 1, 2, 1, ShortKey("ScInGain"), noNames(), NamePair("Gain"),
                  "Input gain", "%+.2f dB (%.1f%%)", 100, 1.0f, 39.810719f);
    gain.updateTextWidth();
    gain.updateViewFlags();
    ASSERT_TRUE(gain.inDbMode());
    EXPECT_EQ(gain.getStepBase(), 3200.0f);
    gain.updateSteps();
    EXPECT_EQ(std::make_tuple(gain.stepsNormal(), gain.stepsDrag(), gain.stepsFast()), std::make_tuple(10, 10, 100));
    EXPECT_NEAR(gain.valueToPosition(2.0f), 0.18814f, 1e-5);
    EXPECT_NEAR(gain.positionToValue(0.5f), 6.3095734f, 1e-5);
    EXPECT_EQ(gain.positionToValue(0.0f), 1.0f);
    EXPECT_EQ(gain.positionToValue(1.0f), 39.810719f);
    EXPECT_EQ(gain.formatValue(0, 1.0f), " 0.00 dB (100.0%)");
    EXPECT_EQ(gain.formatValue(0, 2.0f), "+6.02 dB (200.0%)");
    EXPECT_EQ(gain.formatValue(0, 0.0f), "-100.00 dB (0.0%)");
    gain.setValue(2.0f);
    EXPECT_EQ(gain.getFieldText(0), "+6.02");
    EXPECT_TRUE(gain.setFromTypedText("6", true));
    EXPECT_FLOAT_EQ(gain.current(), 1.9952624f);
    EXPECT_FALSE(gain.setFromTypedText("40", true));
    EXPECT_FALSE(gain.setFromTypedText("-1", true));
    PFloatDb linear(o, 4, floatId, 0, 1, 100, 0.5f, 2, 1, ShortKey("L"), noNames(), noNames(), "L", "%.2f", 1,
                    0.000001f, 1.0f);
    EXPECT_FALSE(linear.inDbMode());
    EXPECT_EQ(linear.formatValue(0, 0.5f), "0.50");
}

TEST(PTilt, CurveAndTexts) {
    TestOwner o;
    PTilt tilt(o, 4, floatId, -5, 5, 50, 5, 6, 1, ShortKey("ScInRc"), noNames(), NamePair("Tilt correction - RC"),
               "RC", "%s", 1);
    tilt.updateViewFlags();
    EXPECT_FALSE(tilt.setValue(0.0f)) << "0 becomes 5, the value it has";
    EXPECT_EQ(tilt.current(), 5.0f);
    EXPECT_EQ(tilt.getText(0), "DISABLED");
    EXPECT_EQ(tilt.getFieldText(0), "");
    EXPECT_NEAR(tilt.valueToPosition(0.005f), 0.99979f, 1e-5);
    EXPECT_NEAR(tilt.valueToPosition(-0.005f), 0.00021f, 1e-5);
    EXPECT_EQ(tilt.valueToPosition(5.0f), 0.5f);
    EXPECT_TRUE(tilt.setFromPosition(0.25f));
    EXPECT_NEAR(tilt.current(), -0.2484946f, 1e-6);
    EXPECT_TRUE(tilt.setFromPosition(1.0f));
    EXPECT_EQ(tilt.current(), 0.005f);
    EXPECT_EQ(tilt.getText(0), "+5,000 \xB5s");
    EXPECT_EQ(tilt.getFieldText(0), "0.005000");
    EXPECT_EQ(tilt.formatValue(0, -0.0123456f), "-12,346 \xB5s");
    EXPECT_EQ(tilt.formatValue(0, 4.5f), "+4,500,000 \xB5s");
    EXPECT_EQ(tilt.formatValue(0, 0.0001234f), "+123 \xB5s");
    EXPECT_EQ(tilt.formatValue(0, 4.50001f), "DISABLED");
    OneWidget w(update(tilt, 3, {head(tilt, true)}));
    auto c = w.body();
    replyreader::readSliderDescription(c);
    replyreader::readTextFieldDescription(c);
    const auto state = replyreader::readNumberState(c);
    EXPECT_EQ(state.stepBase, 10000);
    EXPECT_EQ(state.currentPosition, 9998);
    EXPECT_EQ(state.valueText, "+5,000 \xB5s");
}
