// Per-view change flags, visibility and edit rights, shown/enabled state and the user-change
// notification.
#include "params/PBool.h"
#include "params/PButton.h"
#include "params/PInt.h"

#include "params/ParamsFixture.h"

#include <gtest/gtest.h>

using namespace kestrava::params;
using kestrava::ParamId;

namespace {
std::uint32_t bits(std::initializer_list<int> views) {
    std::uint32_t b = 0;
    for (int v : views) b |= 1u << v;
    return b;
}
PInt makeInt(TestOwner& o, std::uint32_t mask = 4, ParamId id = static_cast<ParamId>(100)) {
    return PInt(o, mask, id, 6, 0, 255, 4096, 7, ShortKey("K"), noNames(), NamePair("Key"), "n", "%d");
}
}  // namespace

TEST(ViewFlags, MarksRaiseTheViewGroupAndIndexThirty) {
    struct Case { int view; std::uint32_t raised; };
    for (const Case& c : {Case{1, bits({0, 1, 2, 30})}, Case{4, bits({3, 4, 30})}, Case{3, bits({3, 4, 30})},
                          Case{29, bits({29, 30})}, Case{30, bits({30})}, Case{-1, allViewBits}}) {
        TestOwner o;
        PInt p = makeInt(o);
        p.markEditChanged(c.view);
        std::uint32_t seen = 0;
        for (int v = 0; v < viewCount; ++v) {
            if (p.takeEditChanged(v)) seen |= 1u << v;
        }
        EXPECT_EQ(seen, c.raised) << "view " << c.view;
        EXPECT_FALSE(p.takeEditChanged(c.view < 0 ? 0 : c.view)) << "taken flags stay clear";
    }
}

TEST(ViewFlags, VisibilityAndEditRightsFollowTheRightsWords) {
    TestOwner o;
    o.setRights(5, 0x1, 0x1);  // view 5 may not see or edit mask 4
    PInt p = makeInt(o, 4);
    p.updateViewFlags();
    EXPECT_TRUE(p.isVisible(3));
    EXPECT_FALSE(p.isVisible(5));
    EXPECT_FALSE(p.isEditable(5));
    EXPECT_TRUE(p.isEditable(6));
    // Visibility changed from the initial none: state marks in the changed views' groups.
    EXPECT_TRUE(p.stateChanged.test(3));
    // A right granted later marks the edit state of that view's pair.
    for (int v = 0; v < viewCount; ++v) p.takeEditChanged(v);
    o.setRights(5, 0x4, 0x4);
    p.updateViewFlags();
    EXPECT_TRUE(p.isEditable(5));
    EXPECT_TRUE(p.takeEditChanged(5));
    EXPECT_TRUE(p.takeEditChanged(6));
    EXPECT_FALSE(p.takeEditChanged(7));
}

TEST(ViewFlags, BoundAndHiddenParameters) {
    TestOwner o;
    o.setRights(8, 0, 0);
    PInt bound = makeInt(o);
    bound.bindToView(7);
    bound.updateViewFlags();
    for (int v = 0; v < viewCount; ++v) EXPECT_EQ(bound.isVisible(v), v == 7) << v;
    PInt hidden = makeInt(o);
    hidden.setShown(false);
    hidden.stateChanged.clear(allViewBits);
    hidden.updateViewFlags();
    EXPECT_TRUE(hidden.isVisible(3));
    EXPECT_EQ(hidden.stateChanged.word(), 0u);
}

TEST(ViewFlags, ShownAndEnabled) {
    TestOwner o;
    PInt p = makeInt(o);
    p.setShown(true);
    EXPECT_EQ(p.stateChanged.word(), 0u);
    p.setShownFollowsEnabled(true);
    p.setEnabled(false);
    EXPECT_FALSE(p.isShown());
    EXPECT_EQ(p.stateChanged.word(), allViewBits);
    EXPECT_EQ(p.enabledChanged.word(), allViewBits);
}

TEST(ViewFlags, UserChangeWithAMissingPopupStillNotifies) {
    TestOwner o;
    PInt p = makeInt(o);
    p.setPopupId(kestrava::ID_IDCOUNT);
    testing::internal::CaptureStderr();
    p.notifyUserChange();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Popup ID_IDCOUNT does not exist\n");
    EXPECT_EQ(o.userChanges.load(), 1);
}

TEST(WidgetKinds, KindTableAndSwitchModes) {
    struct Case { int kind, type; };
    for (const Case& c : {Case{0, 0}, Case{1, 7}, Case{6, 7}, Case{7, 9}, Case{8, 10}, Case{9, 18}, Case{10, 12},
                          Case{11, 21}, Case{12, 11}, Case{13, 4}, Case{17, 1}, Case{18, 26}, Case{19, 2},
                          Case{22, 15}, Case{23, 0}, Case{26, 16}, Case{30, 11}, Case{34, 21}, Case{36, 3},
                          Case{37, 11}, Case{39, 17}, Case{40, 19}, Case{41, 20}, Case{42, 0}, Case{43, 23},
                          Case{44, 25}, Case{45, 0}, Case{-3, 0}}) {
        EXPECT_EQ(widgetTypeOfKind(c.kind), c.type) << "kind " << c.kind;
    }
    TestOwner o;
    for (auto [mode, type] : {std::pair{0, 8}, {1, 13}, {2, 24}, {5, 0}}) {
        PBool b(o, 4, static_cast<ParamId>(1), false, mode, ShortKey("b"), noNames(), noNames(), "b");
        EXPECT_EQ(b.widgetType(), type) << "mode " << mode;
    }
}

TEST(Names, CutAt99Characters) {
    TestOwner o;
    const std::string n99(99, 'n'), n150(150, 'm');
    PButton a(o, 4, static_cast<ParamId>(1), nullptr, n99);
    PButton b(o, 4, static_cast<ParamId>(2), nullptr, n150);
    EXPECT_EQ(a.name(), n99);
    EXPECT_EQ(b.name(), std::string(99, 'm'));
}
