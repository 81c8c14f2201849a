#include "ScriptedSource.h"
#include "model/InstanceTable.h"
#include "model/Model.h"
#include "support/TempDir.h"
#include "web/LogViewer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

namespace {

namespace fs = std::filesystem;
using kestrava::web::LogViewer;
using kestrava::web::ReplyOutput;
using kestrava::web::RouteRequest;
using kestrava::web::Router;
using kestrava::web::ServerMutex;

const std::string header =
    "HTTP/1.0 200 OK\r\nContent-Type: text/html; charset=UTF-8\r\nCache-Control: no-cache, no-store, "
    "must-revalidate\r\nPragma: no-cache\r\nExpires: 0\r\n\r\n";

void writeFile(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

TEST(LogViewer, ServesOnlyBareNamesOfOwnLogFiles) {
    for (const char* good : {"kestrava_2026-12-11_09-00-00.log", "kestrava_x.log"}) {
        EXPECT_TRUE(LogViewer::isLogFileName(good)) << good;
    }
    for (const char* bad : {"kestrava_.log", "kestrava.log", "other_2026.log", "kestrava_x.txt", "kestrava_x.log/",
                            "../kestrava_x.log", "sub/kestrava_x.log", "/var/log/kestrava_x.log", "kestrava_a\\b.log",
                            "kestrava_<b>.log", "kestrava_a b.log", "kestrava_x.log?x", ""}) {
        EXPECT_FALSE(LogViewer::isLogFileName(bad)) << bad;
    }
    EXPECT_TRUE(LogViewer::isLogFileName("kestrava_" + std::string(232, 'a') + ".log"));
    EXPECT_FALSE(LogViewer::isLogFileName("kestrava_" + std::string(233, 'a') + ".log"));
    EXPECT_FALSE(LogViewer::isLogFileName(std::string("kestrava_\0.log", 14)));
}

TEST(LogViewer, ColoursALineByItsLevelWord) {
    using Style = LogViewer::LineStyle;
    const std::string stamp = "2026-12-11 09:00:00.123 ";
    const struct {
        std::string line;
        Style style;
    } cases[] = {
        {stamp + "critical: text", {"#FF0000", false}},
        {stamp + "   error: text", {"#0000FF", false}},
        {stamp + " warning: text", {"#DF6F00", false}},
        {stamp + "    info: text", {"#009F00", false}},
        {stamp + "   trace: text", {"#808080", false}},
        {stamp + "   debug: text", {"#A0A0A0", false}},
        {stamp + "--------Shutdown", {"#0000FF", false}},
        {stamp + "--------End trace", {"#0000FF", false}},
        {"-- a separator", {"#000000", true}},
        {"short line", {"#0000FF", false}},
        // Other lines by the character at position 23.
        {"xxxxxxxxxxxxxxxxxxxxxxxwarm", {"#DF6F00", false}},
        {"xxxxxxxxxxxxxxxxxxxxxxxc", {"#FF0000", false}},
    };
    for (const auto& c : cases) EXPECT_EQ(LogViewer::styleOf(c.line), c.style) << c.line;
}

class LogPages : public testing::Test {
protected:
    void SetUp() override {
        table.registerModel(0, &model);
        router.plug(Router::Route::LogList, &viewer);
        router.plug(Router::Route::LogFile, &viewer);
    }
    void TearDown() override { table.unregisterModel(0); }

    std::string get(const std::string& path, kestrava::web::ByteSink* sinkOverride = nullptr) {
        webtest::RecordingSink sink;
        ReplyOutput out(sinkOverride != nullptr ? *sinkOverride : sink);
        out.startConnection(false);
        RouteRequest r;
        r.path = path;
        r.reply = &out;
        router.serve(r);
        return sink.text();
    }
    fs::path logs() const { return dir.path() / "logs"; }

    kestrava::test::TempDir dir;
    InstanceTable table;
    Model model;
    ServerMutex mutex;
    Router router{mutex, table, 0, std::chrono::milliseconds(50)};
    LogViewer viewer{[this](Model& m) {
        EXPECT_EQ(&m, &model);
        return logs().string();
    }};
};

TEST_F(LogPages, ListsThisProgramsLogFilesNewestFirst) {
    EXPECT_EQ(get("/log/"), header + "Kestrava log files:<BR/>\n<BR/>\n<BR/>\nEnd of list.<BR/>");
    writeFile(logs() / "kestrava_2026-01-01_10-00-00.log", "a\n");
    writeFile(logs() / "kestrava_2026-01-02_09-00-00.log", "b\n");
    writeFile(logs() / "other.log", "c\n");
    writeFile(dir.path() / "elsewhere.log", "secret\n");
    fs::create_directories(logs() / "kestrava_folder.log");
    fs::create_symlink(dir.path() / "elsewhere.log", logs() / "kestrava_2026-01-03_00-00-00.log");
    EXPECT_EQ(get("/log/"), header +
                                "Kestrava log files:<BR/>\n<BR/>\n"
                                "<a href=\"kestrava_2026-01-02_09-00-00.log\">kestrava_2026-01-02_09-00-00.log</a><BR/>\n"
                                "<a href=\"kestrava_2026-01-01_10-00-00.log\">kestrava_2026-01-01_10-00-00.log</a><BR/>\n"
                                "<BR/>\nEnd of list.<BR/>");
}

TEST_F(LogPages, ShowsOneFileLineByLineEscaped) {
    const std::string stamp = "2026-12-11 09:00:00.123 ";
    const std::string longLine = std::string(256, 'x') + std::string(256, 'y') + std::string(88, 'z');
    writeFile(logs() / "kestrava_a.log", stamp + "critical: <script>alert(1)</script>\r\n\r\n\n" + stamp +
                                             " warning: w & \"q\"\n-- marker\n" + longLine + "\nno line end yet");
    const std::string expected =
        header + "Log file <b>kestrava_a.log</b><BR/>\n<BR/><tt>\n" +
        "<font color=\"#FF0000\">" + stamp + "critical: &lt;script&gt;alert(1)&lt;/script&gt;</font><BR/>\n" +
        "<font color=\"#DF6F00\">" + stamp + " warning: w &amp; &quot;q&quot;</font><BR/>\n" +
        "<font color=\"#000000\"><b>-- marker</b></font><BR/>\n" +
        "<font color=\"#0000FF\">" + std::string(256, 'x') + "</font><BR/>\n" +
        "<font color=\"#0000FF\">" + std::string(256, 'y') + "</font><BR/>\n" +
        "<font color=\"#0000FF\">" + std::string(88, 'z') + "</font><BR/>\n" + "<BR/>\nEnd of file.<BR/>";
    EXPECT_EQ(get("/log/kestrava_a.log"), expected);
}

TEST_F(LogPages, RefusesNamesOutsideTheLogFolder) {
    writeFile(dir.path() / "elsewhere.log", "secret\n");
    fs::create_directories(logs());
    fs::create_symlink(dir.path() / "elsewhere.log", logs() / "kestrava_link.log");
    const std::string notFound = "<font color=#FF0000><b>File not found</b></font> - ";
    EXPECT_EQ(get("/log/<b>x"), header + "Log file <b>&lt;b&gt;x</b><BR/>\n<BR/><tt>\n" + notFound + "&lt;b&gt;x<BR/>\n");
    for (const char* path : {"/log/../../../etc/passwd", "/log/../elsewhere.log", "/log/kestrava_link.log",
                             "/log//etc/passwd", "/log/kestrava_missing.log"}) {
        const std::string page = get(path);
        EXPECT_NE(page.find(notFound), std::string::npos) << path;
        EXPECT_EQ(page.find("secret"), std::string::npos) << path;
        EXPECT_EQ(page.find("root:"), std::string::npos) << path;
        EXPECT_EQ(page.find("End of file."), std::string::npos) << path;
    }
}

// Checks, while the page is being sent, that another thread can take both of the router's locks.
class LockProbeSink : public kestrava::web::ByteSink {
public:
    LockProbeSink(ServerMutex& mutex_, InstanceTable& table_) : mutex(mutex_), table(table_) {}
    using ByteSink::send;
    void send(const std::uint8_t*, std::size_t) override {
        if (++sends != 2) return;  // the first send after the header
        std::thread other([this] {
            serverFree = mutex.tryLockFor(std::chrono::milliseconds(0));
            if (serverFree) mutex.unlock();
            modelFree = table.lockInstanceModel(0) != nullptr;
            if (modelFree) table.unlock();
        });
        other.join();
    }
    ServerMutex& mutex;
    InstanceTable& table;
    int sends = 0;
    bool serverFree = false;
    bool modelFree = false;
};

TEST_F(LogPages, SendsWithoutHoldingTheInstance) {
    std::string text;
    for (int i = 0; i < 20000; ++i) text += "2026-12-11 09:00:00.123     info: line " + std::to_string(i) + "\n";
    writeFile(logs() / "kestrava_big.log", text);
    for (const char* path : {"/log/kestrava_big.log", "/log/"}) {
        LockProbeSink probe(mutex, table);
        get(path, &probe);
        EXPECT_GE(probe.sends, 2) << path;
        EXPECT_TRUE(probe.serverFree) << path;
        EXPECT_TRUE(probe.modelFree) << path;
    }
}

}  // namespace
