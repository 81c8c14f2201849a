// Switches, buttons and their actions.
#include "params/PBool.h"
#include "params/PButton.h"

#include "params/ParamsFixture.h"

#include <gtest/gtest.h>

using namespace kestrava::params;
using kestrava::ParamId;

namespace {
const ParamId boolId = static_cast<ParamId>(200);
}

TEST(PBool, StatusLampIsNeitherSavedNorEditable) {
    TestOwner o;
    PBool lamp(o, 4, boolId, true, 2, ShortKey("L"), noNames(), noNames(), "Lamp");
    lamp.updateViewFlags();
    EXPECT_FALSE(lamp.isPersistent());
    for (int v = 0; v < viewCount; ++v) EXPECT_FALSE(lamp.isEditable(v));
}

TEST(PBool, SaveTextsAndDisplay) {
    TestOwner o;
    PBool b(o, 4, boolId, false, 0, ShortKey("B"), noNames(), NamePair("On"), "Switch");
    for (auto [text, on] : {std::pair{"1", true}, {"7", true}, {"-3", true}, {"0", false}, {"", false},
                            {"yes", false}}) {
        b.setFromSaveText(0, text);
        EXPECT_EQ(b.current(), on) << text;
        EXPECT_EQ(b.saveText(0), on ? "1" : "0");
        EXPECT_EQ(b.displayText(), on ? "YES" : "NO");
    }
}

TEST(PBool, WebInputAndWords) {
    TestOwner o;
    PBool b(o, 4, boolId, false, 1, ShortKey("B"), noNames(), noNames(), "Switch");
    b.updateViewFlags();
    // Expanded: title, the description flag 0, then the state.
    OneWidget first(update(b, 3, {head(b, true), 2}));
    EXPECT_EQ(first.widget.header.type, BOOL_SWITCH);
    EXPECT_EQ(first.widget.header.id, 200);
    EXPECT_TRUE(first.widget.header.expanded);
    EXPECT_TRUE(first.widget.header.editable);
    EXPECT_EQ(first.widget.title, "Switch");
    auto c = first.body();
    EXPECT_FALSE(c.flag());
    EXPECT_TRUE(c.flag()) << "the input 2 switched it on";
    EXPECT_TRUE(c.atEnd());
    EXPECT_EQ(o.userChanges.load(), 1);
    // The partner view 4 still has the change to receive; view 3 has nothing new.
    EXPECT_TRUE(update(b, 3, {head(b)}).empty());
    OneWidget partner(update(b, 4, {head(b)}));
    auto p = partner.body();
    EXPECT_TRUE(p.flag());
    // An empty group changes nothing; a view without edit rights is ignored.
    const std::vector<std::int32_t> onlyId{200};
    WidgetContext widget;
    EXPECT_FALSE(b.readWireInput(RequestContext{3}, RequestValues(onlyId), widget));
    o.setRights(5, 0xffffffffu, 0);
    b.updateViewFlags();
    update(b, 5, {head(b), 0});
    EXPECT_TRUE(b.current());
}

TEST(PButton, PressRunsTheActionWithTheViewWhenAllowed) {
    TestOwner o;
    std::vector<int> pressed;
    const ButtonFunction action([&](int view) { pressed.push_back(view); });
    PButton button(o, 4, static_cast<ParamId>(300), &action, "Go");
    o.setRights(5, 0xffffffffu, 0x1);
    o.setRights(6, 0xffffffffu, 0x1);
    button.updateViewFlags();
    update(button, 3, {head(button), 1});
    update(button, 5, {head(button), 1});
    update(button, 7, {head(button)});  // no numbers: no press
    button.setEnabled(false);
    update(button, 3, {head(button), 1});
    EXPECT_EQ(pressed, (std::vector<int>{3}));

    int calls = 0;
    const ButtonFunction plain = ButtonFunction::withoutArgument([&] { ++calls; });
    plain.invoke(12);
    EXPECT_EQ(calls, 1);
    PButton none(o, 4, static_cast<ParamId>(301), nullptr, "None");
    none.press(3);  // no action: nothing
}

TEST(PButton, SetEditableMarksViewThirtyOnly) {
    TestOwner o;
    PButton button(o, 4, static_cast<ParamId>(300), nullptr, "Go");
    button.setEditable(false);
    EXPECT_TRUE(button.takeEditChanged(30));
    for (int v = 0; v < 30; ++v) EXPECT_FALSE(button.takeEditChanged(v)) << v;
}
