// Which request paths name a file of the web page, and what is read.

#include "sim/SimTestSupport.h"
#include "talvexd/web/WebFiles.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace talvexd;

TEST(WebFiles, OnlyPlainNamesOfKnownKindsInTheTwoFolders)
{
    const CWebFiles files("/page", "/libs");
    const struct {
        const char* request;
        const char* path;  // nullptr: refused
    } cases[] = {
        {"/", "/page/index.html"},
        {"/js/main.js", "/page/js/main.js"},
        {"/talvex.css", "/page/talvex.css"},
        {"/javascript/chart.js/chart.min.js", "/libs/chart.js/chart.min.js"},
        {"/javascript/chart.js/chart.js", nullptr},  // only the libraries the page loads
        {"/javascript/../../etc/x.js", nullptr},
        {"/../etc/passwd", nullptr},
        {"/js/../../secret.js", nullptr},
        {"/.hidden.css", nullptr},
        {"/js//main.js", nullptr},
        {"/js/main.js/", nullptr},
        {"/js\\main.js", nullptr},
        {"/js/%2e%2e/x.js", nullptr},
        {"/users", nullptr},  // no kind served
        {"/talvex.db", nullptr},
        {"", nullptr},
    };
    for (const auto& c : cases) {
        const auto file = files.Resolve(c.request);
        EXPECT_EQ(file ? file->path : "refused", c.path ? c.path : "refused") << c.request;
    }
    EXPECT_FALSE(files.Resolve("/" + std::string(300, 'a') + ".js"));
    const auto page = files.Resolve("/");
    ASSERT_TRUE(page);
    EXPECT_TRUE(page->page);
    EXPECT_STREQ(files.Resolve("/js/main.js")->contentType, "text/javascript; charset=utf-8");
}

TEST(WebFiles, ReadGivesATagThatFollowsTheContent)
{
    simtest::TempDir dir;
    const CWebFiles files(dir.Path(), dir.Path());
    EXPECT_FALSE(files.HasPage());
    EXPECT_FALSE(CWebFiles::Read(*files.Resolve("/")));
    std::ofstream(dir.File("index.html")) << "<p>one</p>";
    EXPECT_TRUE(files.HasPage());
    const auto first = CWebFiles::Read(*files.Resolve("/"));
    ASSERT_TRUE(first);
    EXPECT_EQ(first->body, "<p>one</p>");
    std::ofstream(dir.File("index.html")) << "<p>three</p>";
    const auto second = CWebFiles::Read(*files.Resolve("/"));
    ASSERT_TRUE(second);
    EXPECT_NE(second->etag, first->etag);
    EXPECT_FALSE(CWebFiles::Read(*CWebFiles(dir.Path() + "/index.html", "").Resolve("/"))) << "not a folder";
}
