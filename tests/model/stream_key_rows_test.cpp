#include "AccountTree.h"
#include "logging/KestravaInstanceConfig.h"
#include "model/StreamKeyRows.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

using namespace account_tree;

TEST(StreamKeyRows, PasswordToHashPutsTheDerivedKeyIntoTheSavedKeyRow) {
    KestravaInstanceConfig config{192000, 2040};
    std::unique_ptr<model::StreamKeyRows> streamKey;
    int applied = 0;
    int pending = 0;
    Instance in([&](Instance& self, settings::TreeSources& sources) {
        streamKey = std::make_unique<model::StreamKeyRows>(self.table, self.settings, config);
        streamKey->applySettings = [&] { ++applied; };
        streamKey->onSettingsPending = [&] { ++pending; };
        streamKey->fillSources(sources);
    });
    in.row<PString>(NOSAVEPARAM_KVRA_Password).setValue("password");
    in.press(NOSAVEPARAM_KVRA_Password_Apply, 0, 3);
    config.logger.stop();

    // Argon2i of "password" with the fixed salt and parameters, computed with the argon2 tool.
    const std::string key = "c2e348c7b6d0cee706dc93465e29d60d";
    auto& keyRow = in.row<PString>(PARAM_KVRA_Key);
    EXPECT_EQ(keyRow.current(), key);
    EXPECT_STREQ(in.settings.activeStreamKeyHash, key.c_str());
    const SavedRights saved = in.saved(keyRow.sectionName());
    EXPECT_EQ(saved.at("Stream hash key"), key);
    // The typed password is gone from the row and the record, and never reaches the file.
    EXPECT_EQ(in.row<PString>(NOSAVEPARAM_KVRA_Password).current(), "");
    EXPECT_STREQ(in.settings.newStreamPassword, "");
    for (const auto& [name, text] : saved) EXPECT_NE(text, "password") << name;
    EXPECT_EQ(applied, 1);
    EXPECT_EQ(pending, 1);
}

}  // namespace
