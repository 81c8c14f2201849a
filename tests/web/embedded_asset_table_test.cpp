#include "Gunzip.h"
#include "web/EmbeddedAssetTable.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

namespace {

using kestrava::web::EmbeddedAssetTable;

std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(EmbeddedAssetTable, HoldsTheClientFilesAsGzipMembersInTheirOrder) {
    const char* expected[] = {
        "About.html.gz",          "favicon.ico.gz",          "index.html.gz",
        "layout.json.gz",         "css/styles.css.gz",       "css/styles_ruk.css.gz",
        "css/styles_veltra.css.gz", "css/styles_lmx.css.gz", "fonts/fa-solid-900.ttf.gz",
        "fonts/fa-solid-900.woff2.gz", "images/logo.svg.gz", "images/logo_veltra.svg.gz",
        "js/dynamic-min.js.gz",   "js/objectsloader-min.js.gz",
    };
    const auto list = EmbeddedAssetTable::list();
    ASSERT_EQ(list.size(), std::size(expected));
    std::uint32_t offset = 0;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const std::string name = expected[i];
        SCOPED_TRACE(name);
        EXPECT_EQ(list[i].name, name);
        // One block, no gaps.
        EXPECT_EQ(list[i].offset, offset);
        offset += list[i].size;

        const auto member = webtest::gunzip(EmbeddedAssetTable::bytes(list[i]));
        ASSERT_TRUE(member.has_value());
        EXPECT_EQ(member->flags, 0x08);  // FNAME only
        EXPECT_EQ(member->extraFlags, 2);
        EXPECT_EQ(member->os, 11);
        const std::string plainName = name.substr(0, name.size() - 3);
        EXPECT_EQ(member->fileName, plainName.substr(plainName.rfind('/') + 1));
        EXPECT_EQ(member->content, fileText(std::string(KESTRAVA_WEB_WWW) + "/" + plainName));
        EXPECT_EQ(EmbeddedAssetTable::find(name), EmbeddedAssetTable::bytes(list[i]));
    }
    for (const char* absent : {"index.html", "Index.html.gz", "/index.html.gz", "index.html.gz ", ""}) {
        EXPECT_FALSE(EmbeddedAssetTable::find(absent).has_value()) << absent;
    }
}

}  // namespace
