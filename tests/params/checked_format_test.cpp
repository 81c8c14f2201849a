// Value formats are checked before use: a format whose conversions do not fit its arguments
// formats nothing, so a bad translation can never read a wrong argument.
#include "params/CheckedFormat.h"

#include <gtest/gtest.h>

using namespace kestrava::params;
using A = CheckedFormat::Arg;

TEST(CheckedFormat, FormatsTheSettingsTreesFormats) {
    EXPECT_EQ(CheckedFormat("%d packets", {A::integer}).format({std::int64_t{12}}), "12 packets");
    EXPECT_EQ(CheckedFormat("%+.2f dB (%.1f%%)", {A::real, A::real}).format({6.0206, 200.0}), "+6.02 dB (200.0%)");
    EXPECT_EQ(CheckedFormat("%s", {A::text}).format({std::string_view("x y")}), "x y");
    EXPECT_EQ(CheckedFormat("%.1f sec", {A::real}).format({2.5}), "2.5 sec");
    EXPECT_EQ(CheckedFormat("%lld of %5d", {A::integer, A::integer}).format({std::int64_t{1}, std::int64_t{2}}),
              "1 of     2");
    EXPECT_EQ(CheckedFormat("no conversion", {A::integer}).format({std::int64_t{1}}), "no conversion");
    EXPECT_EQ(CheckedFormat("", {A::text}).format({std::string_view("v")}), "");
}

TEST(CheckedFormat, RefusesWhatPrintfWouldMisread) {
    for (const char* bad : {"%s", "%d %d", "%n", "%*d", "%.*d", "%p", "%d%", "%999d", "%.99d", "%c"}) {
        const CheckedFormat f(bad, {A::integer});
        EXPECT_FALSE(f.valid()) << bad;
        EXPECT_EQ(f.format({std::int64_t{5}}), "") << bad;
    }
    EXPECT_FALSE(CheckedFormat("%f", {A::integer}).valid());
    EXPECT_FALSE(CheckedFormat("%d", {A::real}).valid());
}

TEST(CheckedFormat, OutputIsBounded) {
    const std::string longText(20000, 'a');
    EXPECT_EQ(CheckedFormat("%s", {A::text}).format({std::string_view(longText)}, 8191).size(), 8191u);
    EXPECT_LT(CheckedFormat("%64.32f", {A::real}).format({1e308}).size(), 400u);
}
