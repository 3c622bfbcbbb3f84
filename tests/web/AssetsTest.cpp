// The dashboard's files as tirvel-line serves them from its own bytes.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "line/Assets.h"

namespace {

std::string FileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

struct Served {
    const char* path;
    const char* file;
    const char* type;
};

void PrintTo(const Served& served, std::ostream* out) {
    *out << served.path;
}

class AssetsServed : public ::testing::TestWithParam<Served> {};

// The bytes are the file's to the last one, whatever they are (Chart.js and
// the Chinese texts are far from ASCII).
TEST_P(AssetsServed, AreTheFilesBytesWithTheirType) {
    const auto* asset = line::FindAsset(GetParam().path);
    ASSERT_NE(asset, nullptr) << GetParam().path;
    EXPECT_EQ(asset->body, FileText(GetParam().file));
    EXPECT_EQ(asset->contentType, GetParam().type);
    EXPECT_EQ(asset->path, GetParam().path);
}

INSTANTIATE_TEST_SUITE_P(
    Files, AssetsServed,
    ::testing::Values(Served{"/", WEB_DIR "/index.html", "text/html; charset=utf-8"},
                      Served{"/login", WEB_DIR "/login.html", "text/html; charset=utf-8"},
                      Served{"/static/strings.js", WEB_DIR "/strings.js",
                             "text/javascript; charset=utf-8"},
                      Served{"/static/app.css", WEB_DIR "/app.css", "text/css; charset=utf-8"},
                      Served{"/static/chart.js", CHART_JS, "text/javascript; charset=utf-8"}));

TEST(Assets, NoneForPathsThatAreNotFiles) {
    for (const char* path :
         {"/static/", "/static/app.js/", "/index.html", "/api/v1/me", "", "/Login"}) {
        EXPECT_EQ(line::FindAsset(path), nullptr) << path;
    }
    // A query string names the same file.
    EXPECT_EQ(line::FindAsset("/static/app.js?v=2"), line::FindAsset("/static/app.js"));
}

// A page that names a file not built in would load without it.
TEST(Assets, EveryFileThePagesLoadIsThere) {
    const std::regex reference(R"re((?:src|href)="(/[^"]*)")re");
    std::set<std::string> etags;
    for (const char* page : {"/", "/login"}) {
        const auto* asset = line::FindAsset(page);
        ASSERT_NE(asset, nullptr);
        const std::string html(asset->body);
        int found = 0;
        for (std::sregex_iterator it(html.begin(), html.end(), reference), end; it != end; ++it) {
            EXPECT_NE(line::FindAsset((*it)[1].str()), nullptr) << page << " loads " << (*it)[1];
            const auto* file = line::FindAsset((*it)[1].str());
            if (file) {
                etags.insert(std::string(file->etag));
                EXPECT_EQ(file->etag.front(), '"');
                EXPECT_EQ(file->etag.back(), '"');
            }
            ++found;
        }
        EXPECT_GE(found, 3) << page;
    }
    // One ETag per file: a changed file must not be taken for a cached one.
    EXPECT_EQ(etags.size(), 6u);
}

}  // namespace
