#include "Gunzip.h"
#include "ScriptedSource.h"
#include "support/TempDir.h"
#include "web/ConfinedFolder.h"
#include "web/ContentTypeTable.h"
#include "web/StaticFileRoute.h"
#include "web/StaticTarget.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;
using kestrava::web::ConfinedFolder;
using kestrava::web::ContentTypeTable;
using kestrava::web::ReplyOutput;
using kestrava::web::RouteRequest;
using kestrava::web::StaticFileRoute;
using kestrava::web::StaticTarget;

constexpr const char* html = "text/html; charset=UTF-8";
constexpr const char* js = "application/javascript; charset=UTF-8";

void writeFile(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(ContentTypeTable, GivesTheTypeOfTheFirstMatchingExtension) {
    const struct {
        const char* name;
        const char* type;  // nullptr: outside the table
    } cases[] = {
        {"a.html", html},
        {"a.js", js},
        {"a.less", "text/css; charset=UTF-8"},
        {"a.css", "text/css"},
        {"a.png", "image/png"},
        {"a.jpg", "image/jpeg"},
        {"a.jpeg", "image/jpeg"},
        {"a.ico", "image/x-icon"},
        {"a.svg", "image/svg+xml"},
        {"layout.json", "application/json"},
        {"a.woff", "application/font-woff"},
        {"fonts/fa-solid-900.ttf", "application/octet-stream"},
        {"a.eot", "application/vnd.ms-fontobject"},
        {"a.map", "application/x-navimap"},
        {"fonts/fa-solid-900.woff2", "application/font-woff2"},
        {".js", nullptr},  // nothing in front of the dot
        {"x.js", js},
        {"INDEX.HTML", nullptr},
        {"readme.txt", nullptr},
        {"index.html?v=2", nullptr},
        {"ajs", nullptr},
        {"a.html.gz", nullptr},
        {"", nullptr},
    };
    for (const auto& c : cases) {
        const auto type = ContentTypeTable::lookup(c.name);
        if (c.type == nullptr) {
            EXPECT_FALSE(type.has_value()) << c.name;
        } else {
            EXPECT_EQ(type.value_or("(none)"), c.type) << c.name;
        }
    }
}

TEST(StaticTarget, ChoosesSourceNameAndTypeOrRefuses) {
    using S = StaticTarget::Source;
    const struct {
        const char* path;
        S source;
        const char* name;
        const char* type;
    } cases[] = {
        {"/", S::Asset, "index.html", html},
        {"/modern/", S::Asset, "index.html", html},
        {"/html/", S::Disk, "index.html", html},
        {"/css/", S::Asset, "css/index.html", html},
        // Page paths of the browser client serve its page shell as HTML.
        {"/settings", S::Asset, "index.html", html},
        {"/modern", S::Asset, "index.html", html},
        {"/js/dynamic-min.js", S::Asset, "js/dynamic-min.js", js},
        {"/modern/js/dynamic-min.js", S::Asset, "js/dynamic-min.js", js},
        {"/fonts/fa-solid-900.woff2", S::Asset, "fonts/fa-solid-900.woff2", "application/font-woff2"},
        {"/html/page.html", S::Disk, "page.html", html},
        {"/html/a..b.html", S::Disk, "a..b.html", html},
        {"/html/sub/x.css", S::Disk, "sub/x.css", "text/css"},
        // Outside the table.
        {"/readme.txt", S::Refused, "", ""},
        {"/INDEX.HTML", S::Refused, "", ""},
        {"/.js", S::Refused, "", ""},
        {"/a.b/c", S::Refused, "", ""},
        {"/index.html?v=2", S::Refused, "", ""},
        {"/html/notes", S::Refused, "", ""},
        // Names that could leave their folder.
        {"/html/../../etc/hostname.json", S::Refused, "", ""},
        {"/html/sub/../page.html", S::Refused, "", ""},
        {"/html//etc/hostname.json", S::Refused, "", ""},
        {"/html/..\\..\\x.json", S::Refused, "", ""},
        {"/../x.js", S::Refused, "", ""},
        {"/modern/css/../../x.css", S::Refused, "", ""},
        {"//etc/x.css", S::Refused, "", ""},
        {"/html/..", S::Refused, "", ""},
        {"relative.html", S::Refused, "", ""},
    };
    for (const auto& c : cases) {
        const StaticTarget t = StaticTarget::of(c.path);
        EXPECT_EQ(t.source, c.source) << c.path;
        EXPECT_EQ(t.name, c.name) << c.path;
        EXPECT_EQ(t.contentType, c.type) << c.path;
    }
    const std::string withNul("/html/a\0b.html", 14);
    EXPECT_EQ(StaticTarget::of(withNul).source, S::Refused);
}

class Folders : public testing::Test {
protected:
    void SetUp() override {
        writeFile(root() / "in.html", "inside");
        writeFile(root() / "sub" / "x.css", "css");
        writeFile(outside() / "secret.html", "secret");
        fs::create_directories(root() / "dir.html");
        fs::create_symlink(outside() / "secret.html", root() / "out.html");
        fs::create_symlink(root() / "in.html", root() / "alias.html");
        fs::create_symlink(outside(), root() / "away");
    }
    fs::path root() const { return dir.path() / "root"; }
    fs::path outside() const { return dir.path() / "outside"; }

    kestrava::test::TempDir dir;
};

TEST_F(Folders, ResolveStaysInsideAfterLinks) {
    const ConfinedFolder folder(root().string());
    ASSERT_TRUE(folder.present());
    const std::string real = fs::canonical(root()).string();
    EXPECT_EQ(folder.resolve("in.html"), real + "/in.html");
    EXPECT_EQ(folder.resolve("sub/x.css"), real + "/sub/x.css");
    EXPECT_EQ(folder.resolve("./sub//x.css"), real + "/sub/x.css");
    EXPECT_EQ(folder.resolve("alias.html"), real + "/in.html");  // a link that stays inside
    for (const char* refused : {"out.html", "away/secret.html", "dir.html", "missing.html", "sub", "", "/etc/hostname",
                                "../outside/secret.html", "sub/../in.html", "sub\\x.css"}) {
        EXPECT_FALSE(folder.resolve(refused).has_value()) << refused;
    }
    EXPECT_FALSE(ConfinedFolder((root() / "in.html").string()).present());
    EXPECT_FALSE(ConfinedFolder((root() / "none").string()).present());
}

class StaticFiles : public Folders {
protected:
    std::string get(StaticFileRoute& route, const std::string& path) {
        webtest::RecordingSink sink;
        ReplyOutput out(sink);
        out.startConnection(false);
        RouteRequest r;
        r.path = path;
        r.reply = &out;
        route.serve(r);
        return sink.text();
    }
    static std::string okHeader(const std::string& type, bool gzip) {
        return "HTTP/1.0 200 OK\r\nContent-Type: " + type + "\r\nCache-Control: max-age=3600\r\n" +
               (gzip ? "Content-Encoding: gzip\r\n" : "") + "\r\n";
    }
    fs::path web() const { return dir.path() / "web"; }

    const std::string forbidden =
        "HTTP/1.0 403 FORBIDDEN\r\nContent-Type: text/html; charset=UTF-8\r\n\r\nNo access to this URL!";
    const std::string notInBinary =
        "HTTP/1.0 404 NOT FOUND\r\nContent-Type: text/html; charset=UTF-8\r\n\r\n"
        "Requested file not found inside Kestrava binary!";
    const std::string notOnDisk =
        "HTTP/1.0 404 NOT FOUND\r\nContent-Type: text/html; charset=UTF-8\r\n\r\n"
        "Requested file not found inside Kestrava subdirectory!";
};

TEST_F(StaticFiles, EmbeddedFilesGoOutGzipped) {
    StaticFileRoute route({root().string(), web().string()});
    ASSERT_FALSE(route.webFolderPresent());
    const std::string header = okHeader(html, true);
    const std::string page = get(route, "/");
    ASSERT_EQ(page.substr(0, header.size()), header);
    const auto member = webtest::gunzip(std::string_view(page).substr(header.size()));
    ASSERT_TRUE(member.has_value());
    EXPECT_EQ(member->content, fileText(std::string(KESTRAVA_WEB_WWW) + "/index.html"));
    // The same page under a client page path and under "/modern/".
    EXPECT_EQ(get(route, "/settings"), page);
    EXPECT_EQ(get(route, "/modern/"), page);
    // Naming the stored file itself gives its bytes without the encoding line.
    EXPECT_EQ(get(route, "/index.html.gz"), forbidden);  // ".gz" has no content type here...
    webtest::RecordingSink sink;
    ReplyOutput out(sink);
    out.startConnection(false);
    route.serveAsset(out, "index.html.gz", html);  // ...but the asset service serves it
    EXPECT_EQ(sink.text(), okHeader(html, false) + page.substr(header.size()));

    EXPECT_EQ(get(route, "/favicon.ico").substr(0, okHeader("image/x-icon", true).size()), okHeader("image/x-icon", true));
    for (const char* missing : {"/js/missing.js", "/Index.html", "/css/", "/favicon.ico?v=2"}) {
        EXPECT_EQ(get(route, missing), notInBinary) << missing;
    }
    EXPECT_EQ(get(route, "/readme.txt"), forbidden);
    EXPECT_EQ(forbidden.size(), 88u);
}

TEST_F(StaticFiles, WebFolderOverridesFileByFileFromTheStart) {
    writeFile(web() / "index.html", "<p>local</p>");
    writeFile(outside() / "layout.json", "{\"escaped\":1}");
    fs::create_symlink(outside() / "layout.json", web() / "layout.json");
    StaticFileRoute route({root().string(), web().string()});
    ASSERT_TRUE(route.webFolderPresent());
    EXPECT_EQ(get(route, "/"), okHeader(html, false) + "<p>local</p>");
    // Not in the folder (a link out of it counts as absent): the embedded file.
    for (const char* path : {"/layout.json", "/css/styles.css"}) {
        const std::string reply = get(route, path);
        EXPECT_NE(reply.find("Content-Encoding: gzip\r\n\r\n"), std::string::npos) << path;
        EXPECT_EQ(reply.find("escaped"), std::string::npos) << path;
    }

    // A folder made after the start counts from the next start on.
    fs::remove_all(web());
    StaticFileRoute later({root().string(), web().string()});
    writeFile(web() / "index.html", "<p>later</p>");
    EXPECT_NE(get(later, "/").find("Content-Encoding: gzip"), std::string::npos);
    later.scanFolders();
    EXPECT_EQ(get(later, "/"), okHeader(html, false) + "<p>later</p>");
}

TEST_F(StaticFiles, DiskFilesStayInTheWorkingFolder) {
    std::string big;
    for (int i = 0; i < 3000; ++i) big += static_cast<char>('a' + i % 26);
    writeFile(root() / "big.js", big);
    StaticFileRoute route({root().string(), web().string()});
    EXPECT_EQ(get(route, "/html/in.html"), okHeader(html, false) + "inside");
    EXPECT_EQ(get(route, "/html/big.js"), okHeader(js, false) + big);
    EXPECT_EQ(get(route, "/html/alias.html"), okHeader(html, false) + "inside");
    for (const char* absent : {"/html/missing.html", "/html/out.html", "/html/away/secret.html", "/html/dir.html"}) {
        EXPECT_EQ(get(route, absent), notOnDisk) << absent;
    }
    EXPECT_EQ(notOnDisk.size(), 120u);
    for (const char* refused : {"/html/../outside/secret.html", "/html/notes", "/html//etc/hostname.json"}) {
        EXPECT_EQ(get(route, refused), forbidden) << refused;
    }
}

}  // namespace
