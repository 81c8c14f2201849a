#include "web/content/ObjectsScript.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

namespace script = kestrava::web::content::objects_script;

TEST(ObjectsScript, ALongTableGoesOutInBatchesAndEndsWithOneLineEnd) {
    std::vector<std::string> writes;
    script::TableWriter table([&](std::string_view t) { writes.emplace_back(t); });
    std::string entries;
    for (int id = 0; id < 6000; ++id) {
        table.add(id, id % 27);
        entries += "T[" + std::to_string(id) + "]=" + std::to_string(id % 27) + ";";
    }
    table.add(-1, 3);
    table.finish();
    ASSERT_GE(writes.size(), 3u);
    EXPECT_EQ(writes.back(), "\n");
    std::string all;
    for (std::size_t k = 0; k + 1 < writes.size(); ++k) {
        // Every batch but the last is written as soon as it passes 32,768 characters.
        if (k + 2 < writes.size()) {
            EXPECT_GT(writes[k].size(), script::TableWriter::batchChars) << k;
            EXPECT_LT(writes[k].size(), script::TableWriter::batchChars + 16) << k;
        }
        all += writes[k];
    }
    EXPECT_EQ(all.substr(all.size() - entries.size()), entries);
    // The drawing limits come first, the entries right behind them on one line.
    EXPECT_EQ(all.rfind("const MAX_SIZE_X_WAVE =         2048;\n", 0), 0u);
    EXPECT_NE(all.find("const MAX_KOEK_ERRORS =         64;\nT[0]=0;T[1]=1;"), std::string::npos);
}

}  // namespace
