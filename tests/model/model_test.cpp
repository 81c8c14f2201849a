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

}  // namespace
