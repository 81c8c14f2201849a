#include "audio/soundcard/LogCapture.h"
#include "logging/KestravaInstanceConfig.h"
#include "model/StreamKeyDerivation.h"
#include "model/StreamPasswordAction.h"
#include "settings/EncoderSettings.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <vector>
#include <string>

namespace {

using kestrava::model::StreamKeyDerivation;

// The reference implementation's command-line tool with the same parameters: Argon2i 1.3,
// 4 passes, 2^15 KiB, one lane, 16 bytes; the salt is 5a19c0b8e6347d2f90a1c5e8b2d64f07.
std::string referenceKey(const std::string& password) {
    const std::string command =
        "command -v argon2 >/dev/null && printf '%s' '" + password +
        "' | argon2 \"$(printf '\\132\\031\\300\\270\\346\\064\\175\\057\\220\\241\\305\\350\\262\\326\\117\\007')\""
        " -i -v 13 -t 4 -k 32768 -p 1 -l 16 -r 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return {};
    char line[128] = {};
    const bool got = std::fgets(line, sizeof line, pipe) != nullptr;
    pclose(pipe);
    std::string out = got ? line : "";
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    return out;
}

TEST(StreamKey, EqualsArgon2iWithTheFixedParameters) {
    // Computed with that tool: printf '%s' password | argon2 <salt> -i -t 4 -k 32768 -p 1 -l 16 -r
    const auto key = StreamKeyDerivation::derive("password");
    ASSERT_TRUE(key.has_value());
    EXPECT_EQ(*key, "c2e348c7b6d0cee706dc93465e29d60d");
    EXPECT_EQ(StreamKeyDerivation::derive("password"), key);  // the salt is fixed

    const std::string tool = referenceKey("password");
    if (!tool.empty()) {
        EXPECT_EQ(*key, tool);
    }

    // An empty password derives a key like any other text.
    const auto empty = StreamKeyDerivation::derive("");
    ASSERT_TRUE(empty.has_value());
    EXPECT_EQ(empty->size(), 32u);
    EXPECT_NE(*empty, *key);
    const std::string emptyTool = referenceKey("");
    if (!emptyTool.empty()) {
        EXPECT_EQ(*empty, emptyTool);
    }
}

TEST(StreamKeyNotice, TheKeyGoesToTheEngineButNeverIntoAMessageOrTheLog) {
    KestravaInstanceConfig config{192000, 2040};
    const auto capture = LogCapture::attach(config.logger);
    const auto key = StreamKeyDerivation::deriveForEngine("password", config);
    ASSERT_TRUE(key.has_value());
    EXPECT_EQ(config.engine.getText(EngineSettings::TextStreamKey2), *key);
    ASSERT_TRUE(capture->waitFor("Stream key derived"));
    config.logger.stop();

    const auto messages = config.statusMessages.bufferedMessages();
    ASSERT_EQ(messages.size(), 1u);
    const std::string text = messages[0].text;
    EXPECT_NE(text.find("Set this key on your server and all your clients"), std::string::npos);
    EXPECT_EQ(text.back(), '\n');
    EXPECT_EQ(text.find(*key), std::string::npos);
    for (const auto& [level, line] : capture->snapshot()) EXPECT_EQ(line.find(*key), std::string::npos) << line;
}

TEST(StreamPasswordAction, TheDerivedKeyBecomesTheActiveKeyAndThePasswordIsCleared) {
    KestravaInstanceConfig config{192000, 2040};
    kestrava::settings::EncoderSettings settings{192000};
    std::strcpy(settings.newStreamPassword, "password");
    std::vector<std::string> steps;
    kestrava::model::StreamPasswordAction action{
        settings,
        config,
        [&] { steps.push_back("apply " + config.engine.getText(EngineSettings::TextStreamKey2)); },
        [&](const std::string& key) { steps.push_back("row " + key); },
        [&] { steps.push_back("clear"); },
        [&] { steps.push_back("pending"); },
    };
    ASSERT_TRUE(action.run());
    config.logger.stop();
    const std::string key = "c2e348c7b6d0cee706dc93465e29d60d";
    EXPECT_EQ(steps, (std::vector<std::string>{"apply " + key, "row " + key, "clear", "pending"}));
    EXPECT_STREQ(settings.activeStreamKeyHash, key.c_str());
    EXPECT_STREQ(settings.newStreamPassword, "");
}

}  // namespace
