// Section headings, rules, popups and translation of names and formats.
#include "params/PInt.h"
#include "params/PPopup.h"
#include "params/PSubLevel.h"
#include "params/TextCatalog.h"

#include "params/ParamsFixture.h"

#include <gtest/gtest.h>

using namespace kestrava::params;
using kestrava::ParamId;

TEST(PSubLevel, HeaderOnlyAndEditRights) {
    TestOwner o;
    o.setRights(5, 0xffffffffu, 0x2);
    PSubLevel section(o, 4, static_cast<ParamId>(900), 1, std::nullopt, NamePair("Web"), "Web interface");
    PHr rule(o, 4, static_cast<ParamId>(901), "Output");
    section.updateViewFlags();
    rule.updateViewFlags();
    EXPECT_FALSE(section.isEditable(5));
    EXPECT_TRUE(section.isEditable(3));
    EXPECT_EQ(section.sectionNames()->name, "Web");
    o.setRights(5, 0xffffffffu, 0x4);
    section.updateViewFlags();
    EXPECT_TRUE(section.takeEditChanged(5));
    OneWidget w(update(rule, 3, {head(rule, true)}));
    EXPECT_EQ(w.widget.header.type, HEADER);
    EXPECT_EQ(w.widget.title, "Output");
    EXPECT_EQ(w.widget.bodyBegin, w.widget.end) << "no description or state words";
}

TEST(PQuestion, AnswersAndShowing) {
    TestOwner o;
    std::vector<int> pressed;
    PQuestion q(o, 4, static_cast<ParamId>(902), 30, "Q", "Really?", 40,
                {{1, "Yes", ButtonFunction([&](int v) { pressed.push_back(v); })}, {2, "No", ButtonFunction{}}});
    o.registerParam(q);
    q.setShown(false);
    EXPECT_EQ(q.answerList().getCount(), 2);
    q.setAnswerTarget(1, false);
    q.show(true);
    EXPECT_EQ(pressed, std::vector<int>{0});
    EXPECT_FALSE(q.isShown());
    q.setAnswerTarget(-9999, false);
    q.show(true);
    EXPECT_TRUE(q.isShown());
    q.show(false);
    EXPECT_FALSE(q.isShown());
    // A parameter whose popup id names the question opens it after a user change.
    PInt p(o, 4, static_cast<ParamId>(903), 6, 0, 10, 10, 0, ShortKey("I"), noNames(), noNames(), "I", "%d");
    p.setPopupId(static_cast<ParamId>(902));
    EXPECT_TRUE(p.setFromTypedText("3", true));
    EXPECT_TRUE(q.isShown());
    // The state repeats the question.
    q.updateViewFlags();
    OneWidget w(update(q, 3, {head(q, true)}));
    auto c = w.body();
    EXPECT_EQ(replyreader::readTextFieldDescription(c).maxLen, 40);
    const auto state = replyreader::readTextState(c);
    EXPECT_EQ(state.valueText, "Really?");
    EXPECT_EQ(state.editableText, "Really?");
}

TEST(Translation, NamesAndFormatsFollowTheCatalog) {
    struct Catalog : TextCatalog {
        std::string formatText = "%d Pakete";
        std::optional<std::string> translate(std::string_view s, TextMode mode) const override {
            if (mode == TextMode::label && s == "Delay") return "Verzug";
            if (mode == TextMode::format && s == "%d packets") return formatText;
            return std::nullopt;
        }
    } catalog;
    TestOwner o;
    o.catalog = &catalog;
    PInt p(o, 4, static_cast<ParamId>(904), 6, 0, 255, 4096, 12, ShortKey("D"), noNames(), noNames(), "Delay",
           "%d packets");
    p.updateTextWidth();
    p.retranslate();
    EXPECT_EQ(p.name(), "Verzug");
    EXPECT_EQ(p.getText(0), "12 Pakete");
    EXPECT_EQ(p.valueChanged.word(), allViewBits);
    p.valueChanged.clear(allViewBits);
    p.retranslate();
    EXPECT_EQ(p.valueChanged.word(), 0u) << "the same translation marks nothing";
    p.setTranslatable(false);
    p.retranslate();
    EXPECT_EQ(p.name(), "Delay");
    EXPECT_EQ(p.getText(0), "12 packets");
    struct Export : TextExport {
        std::vector<std::string> lines;
        void add(std::string_view s, TextMode) override { lines.emplace_back(s); }
    } ex;
    p.exportTexts(ex);
    EXPECT_EQ(ex.lines, std::vector<std::string>{"%d packets"}) << "untranslatable: the format only";
}
