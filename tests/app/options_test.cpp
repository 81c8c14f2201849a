#include "app/CommandLineOptions.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::variant<CommandLineOptions, std::string> parse(std::vector<const char*> args) {
    args.insert(args.begin(), "kestrava-encoder");
    return parseCommandLine(static_cast<int>(args.size()), args.data());
}

TEST(CommandLineOptions, AcceptsTheWebInterfaceOptions) {
    const auto parsed = parse({"--web-port", "8090", "--web-whitelist=192.168.1.0/24", "--fake-input", "mpx.f32"});
    ASSERT_TRUE(std::holds_alternative<CommandLineOptions>(parsed));
    const auto& o = std::get<CommandLineOptions>(parsed);
    EXPECT_EQ(o.webPort, "8090");
    EXPECT_EQ(o.webWhiteList, "192.168.1.0/24");
    EXPECT_EQ(o.fakeInput, "mpx.f32");
    const auto plain = parse({});
    ASSERT_TRUE(std::holds_alternative<CommandLineOptions>(plain));
    EXPECT_FALSE(std::get<CommandLineOptions>(plain).fakeInput);
}

TEST(CommandLineOptions, MalformedOptionsGetAClearError) {
    const struct {
        std::vector<const char*> args;
        const char* error;
    } cases[] = {
        {{"--web-port"}, "--web-port needs a value"},
        {{"--web-port", "0"}, "from 1 to 65535"},
        {{"--web-port", "65536"}, "from 1 to 65535"},
        {{"--web-port", "80x"}, "from 1 to 65535"},
        {{"--web-port", "-1"}, "from 1 to 65535"},
        {{"--web-port="}, "from 1 to 65535"},
        {{"--web-port", "99999999999999999999"}, "from 1 to 65535"},
        {{"--web-whitelist", "a\nb"}, "control characters"},
        {{"--verbose"}, "unknown option \"--verbose\""},
        {{"--fake-input"}, "--fake-input needs a value"},
        {{"--fake-input="}, "--fake-input needs a file name"},
    };
    for (const auto& c : cases) {
        const auto parsed = parse(c.args);
        ASSERT_TRUE(std::holds_alternative<std::string>(parsed)) << c.error;
        EXPECT_NE(std::get<std::string>(parsed).find(c.error), std::string::npos) << std::get<std::string>(parsed);
    }
    const std::string longList(1025, 'a');
    EXPECT_TRUE(std::holds_alternative<std::string>(parse({"--web-whitelist", longList.c_str()})));
}

}  // namespace
