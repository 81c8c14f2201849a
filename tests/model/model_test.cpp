#include "model/InstanceTable.h"
#include "model/Model.h"
#include "model/ParSet.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(Model, StopLeavesTheInstanceTableAndDestroysWhatItOwns) {
    Model model;
    model.parSet = new ParSet(model);
    model.running = true;
    model.startAutosave();
    instanceTable().registerModel(model.index, &model);

    Model* found = instanceTable().lockInstanceModel(0);
    ASSERT_EQ(found, &model);
    instanceTable().unlock();

    model.stop();  // without a ModelCommon: the ParSet still goes
    EXPECT_EQ(model.parSet, nullptr);
    EXPECT_FALSE(model.running);
    EXPECT_EQ(instanceTable().lockInstanceModel(0), nullptr);
    EXPECT_EQ(instanceTable().lockInstanceModel(1), nullptr);  // outside the table
}

TEST(Model, ParametersMarkTheModelChangedAndRefuseTextsTheyCannotTake) {
    Model model;
    ParSet parSet(model);
    std::string error;
    const struct {
        const char* text;
        bool accepted;
    } ports[] = {{"8090", true}, {"0", false}, {"65536", false}, {"80 80", false}, {"", false}};
    for (const auto& c : ports) {
        model.settingsChanged = false;
        EXPECT_EQ(parSet.setWebPortFromSaveText(c.text, error), c.accepted) << c.text;
        EXPECT_EQ(model.settingsChanged.load(), c.accepted) << c.text;
    }
    EXPECT_EQ(parSet.webPortSaveText(), "8090");
    EXPECT_FALSE(parSet.setWebWhiteFromSaveText(std::string(1025, '1'), error));
    EXPECT_TRUE(parSet.setWebWhiteFromSaveText("10.0.0.0/8", error));
    EXPECT_EQ(parSet.webWhiteSaveText(), "10.0.0.0/8");
}

}  // namespace
