#include "platform/CrashGuard.h"
#include "platform/ErrorState.h"
#include "platform/ProgramVersion.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <stdexcept>
#include <string>

namespace {

struct CrashGuardFixture : testing::Test {
    void SetUp() override { ErrorState::reset(); }
    void TearDown() override { ErrorState::reset(); }
    static std::string text() { return ErrorState::errorText; }
};

TEST_F(CrashGuardFixture, AnExceptionInAGuardedTaskIsReportedAndMarksTheProcessCrashed) {
    testing::internal::CaptureStderr();
    const bool completed = CrashGuard::run("Model AutoSave", [] { throw std::runtime_error("disk gone"); });
    const std::string printed = testing::internal::GetCapturedStderr();

    EXPECT_FALSE(completed);
    EXPECT_EQ(ErrorState::errorState, ErrorState::Crashed);
    EXPECT_TRUE(ErrorState::crashFlag);
    const std::string report = text();
    EXPECT_EQ(report.rfind("Model AutoSave\n(Exception 0xe06d7363 at address 0x", 0), 0u) << report;
    EXPECT_NE(report.find("Offset-info: 0x"), std::string::npos) << report;
    EXPECT_TRUE(report.ends_with(", version " + ProgramVersion::versionText() + ".\n")) << report;
    EXPECT_EQ(printed.rfind(report, 0), 0u);
    EXPECT_NE(printed.find("disk gone"), std::string::npos);
}

TEST_F(CrashGuardFixture, ABodyThatCompletesLeavesTheErrorStateAlone) {
    int runs = 0;
    EXPECT_TRUE(CrashGuard::run("LoadSts", [&] { ++runs; }));
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(ErrorState::errorState, ErrorState::Normal);
    EXPECT_EQ(text(), "");
}

TEST_F(CrashGuardFixture, AGuardedWorkerLoopIsEnteredAgainAfterEachException) {
    testing::internal::CaptureStderr();
    int entries = 0;
    CrashGuard::repeat(
        "HTTP Worker",
        [&] {
            ++entries;
            if (entries < 3) throw std::logic_error("bad request");
        },
        [] { return true; });
    const std::string printed = testing::internal::GetCapturedStderr();
    EXPECT_EQ(entries, 3);
    std::size_t reports = 0;
    for (auto at = printed.find("HTTP Worker\n"); at != std::string::npos; at = printed.find("HTTP Worker\n", at + 1)) {
        ++reports;
    }
    EXPECT_EQ(reports, 2u);
    EXPECT_EQ(ErrorState::errorState, ErrorState::Crashed);
}

TEST_F(CrashGuardFixture, TheReportTakesTheFormOfItsExceptionCode) {
    using CrashGuard::ExceptionInfo;
    const struct {
        ExceptionInfo info;
        std::string start;
        std::string part;
    } cases[] = {
        {{CrashGuard::accessViolation, 0x401000, 0, 0}, "HTTP Server\n(Exception 0xc0000005 at address 0x401000 of ",
         ", read/write=0, r/w location=0x0)\nOffset-info: 0x"},
        {{CrashGuard::accessViolation, 0x401000, 1, 0x10}, "HTTP Server\n(Exception 0xc0000005 at address 0x401000 of ",
         ", read/write=1, r/w location=0x10)\nOffset-info: 0x"},
        {{CrashGuard::integerDivideByZero, 0x401000, 0, 0}, "HTTP Server\n(Exception 0xc0000094 at address 0x401000 of ",
         ")\nOffset-info: 0x"},
        {{CrashGuard::moduleNotFound, 0x401000, 0, 0},
         "HTTP Server:\nRequired DLL file not found. Some functions will not work properly.\nAddress 0x401000 of ",
         ").\nOffset-info: 0x"},
        {{CrashGuard::procedureNotFound, 0x401000, 0, 0},
         "HTTP Server:\nDLL version mismatch (an unexpected DLL version was found).\nAddress 0x401000 of ",
         ").\nOffset-info: 0x"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.start);
        testing::internal::CaptureStderr();
        CrashGuard::reportException("HTTP Server", c.info);
        testing::internal::GetCapturedStderr();
        const std::string report = text();
        EXPECT_EQ(report.rfind(c.start, 0), 0u) << report;
        EXPECT_NE(report.find(c.part), std::string::npos) << report;
        EXPECT_TRUE(report.ends_with(".\n")) << report;
    }
}

TEST_F(CrashGuardFixture, ALongReportIsCutTo1023Characters) {
    const std::string longName(2000, 'n');
    testing::internal::CaptureStderr();
    CrashGuard::reportException(longName.c_str(), CrashGuard::ExceptionInfo{});
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::strlen(ErrorState::errorText), ErrorState::textSize - 1);
    EXPECT_EQ(ErrorState::errorText[ErrorState::textSize - 1], '\0');
}

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
// A processor fault is reported with the running task's name, then ends the process with the
// original signal. (The sanitizers install fault handlers of their own, so this runs in the plain build.)
TEST(CrashGuardDeathTest, AProcessorFaultIsReportedThenReRaised) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            CrashGuard::installFaultReporter();
            CrashGuard::run("HTTP Worker", [] { std::raise(SIGSEGV); });
        },
        testing::KilledBySignal(SIGSEGV), "HTTP Worker\n\\(Exception 0xc0000005 at address 0x[0-9a-f]+ of .*Offset-info: 0x");
}
#endif

}  // namespace
