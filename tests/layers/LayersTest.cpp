// Each layer includes only what stands below it, as docs/architecture.md
// draws them: a header of a higher layer, or of a host, pulled into a lower
// one would tie the layers into a loop nobody sees until it has grown.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Layers = std::set<std::string>;

const Layers kBase{"common", "res", "framework", "serial", "cfgfile"};
// The configuration view and the handlers compiled into its library.
const Layers kView{"common",  "res",  "framework", "serial",
                   "cfgfile", "form", "protocol",  "firmware"};

Layers With(Layers layers, const Layers& more) {
    layers.insert(more.begin(), more.end());
    return layers;
}

const Layers kJob = With(kBase, {"station", "records"});
const Layers kAppCore = With(kView, {"records", "station", "job", "station/view"});

// Each folder of the product and the folders it may include besides its own.
const std::map<std::string, Layers> kMayInclude{
    {"common", {}},
    {"res", {"common"}},
    {"serial", {"common"}},
    {"framework", {"common", "res"}},
    {"framework/qt", {"common", "res", "framework"}},
    {"framework/win32", {"common", "res", "framework"}},
    {"cfgfile", kView},
    {"form", kView},
    {"protocol", kView},
    {"firmware", kView},
    {"records", {"common", "framework", "cfgfile"}},
    {"station", kBase},
    {"job", kJob},
    {"station/view", With(kJob, {"job"})},
    {"cli", With(kView, {"records", "station", "job"})},
    {"app/core", kAppCore},
    {"app/qt", With(kAppCore, {"app/core", "framework/qt"})},
    {"app/win32", With(kAppCore, {"app/core", "framework/win32"})},
    {"sim", {"common", "serial", "cfgfile"}},
    // The line's server reads what the stations keep and publish: records only.
    {"line", {"common", "res", "framework", "records"}},
};

// The folder an include names: the deepest folder of the table it lies in.
std::string LayerOf(const std::string& included) {
    std::string best;
    for (const auto& [folder, unused] : kMayInclude) {
        if (included.rfind(folder + "/", 0) == 0 && folder.size() > best.size()) {
            best = folder;
        }
    }
    return best;
}

std::vector<std::string> Trespasses(const std::string& folder, const Layers& allowed) {
    static const std::regex include(R"re(^\s*#\s*include\s*"([^"]+)")re");
    std::vector<std::string> found;
    for (const fs::directory_entry& entry :
         fs::directory_iterator(fs::path(TIRVEL_SOURCE_DIR) / folder)) {
        const std::string ext = entry.path().extension().string();
        if (!entry.is_regular_file() || (ext != ".cpp" && ext != ".h")) {
            continue;
        }
        std::ifstream in(entry.path());
        std::string line;
        std::smatch match;
        while (std::getline(in, line)) {
            if (!std::regex_search(line, match, include)) {
                continue;
            }
            const std::string layer = LayerOf(match[1]);
            if (!layer.empty() && layer != folder && allowed.count(layer) == 0) {
                found.push_back(entry.path().filename().string() + ": " + match[1].str());
            }
        }
    }
    return found;
}

class LayerIncludes : public ::testing::TestWithParam<std::string> {};

TEST_P(LayerIncludes, StayWithinWhatTheLayerMayUse) {
    const std::string& folder = GetParam();
    EXPECT_EQ(Trespasses(folder, kMayInclude.at(folder)), std::vector<std::string>{});
}

std::vector<std::string> Folders() {
    std::vector<std::string> folders;
    for (const auto& [folder, unused] : kMayInclude) {
        folders.push_back(folder);
    }
    return folders;
}

INSTANTIATE_TEST_SUITE_P(Product, LayerIncludes, ::testing::ValuesIn(Folders()),
                         [](const auto& info) {
                             std::string name = info.param;
                             std::replace(name.begin(), name.end(), '/', '_');
                             return name;
                         });

// Where a system test sits inside a function, both systems' code is tangled in
// one body; each system's code belongs in its own file (…Posix, …Win32, or a
// folder of its own) behind a small function, as the serial layer does.
std::vector<std::string> SystemTestsInFunctions(const std::string& folder) {
    static const std::regex systemTest(R"re(^\s*#\s*if.*_WIN32)re");
    static const std::regex scope(R"re(\b(namespace|class|struct|union|enum|extern)\b)re");
    std::vector<std::string> found;
    for (const fs::directory_entry& entry :
         fs::directory_iterator(fs::path(TIRVEL_SOURCE_DIR) / folder)) {
        const std::string stem = entry.path().stem().string();
        const std::string ext = entry.path().extension().string();
        if (!entry.is_regular_file() || (ext != ".cpp" && ext != ".h") || stem.ends_with("Posix") ||
            stem.ends_with("Win32")) {
            continue;
        }
        std::ifstream in(entry.path());
        std::string line;
        std::vector<bool> bodies;  // per open brace: a function's body, or a scope
        for (int number = 1; std::getline(in, line); ++number) {
            if (std::regex_search(line, systemTest) &&
                std::find(bodies.begin(), bodies.end(), true) != bodies.end()) {
                found.push_back(entry.path().filename().string() + ":" + std::to_string(number));
            }
            for (const char c : line.substr(0, line.find("//"))) {
                if (c == '{') {
                    bodies.push_back(!std::regex_search(line, scope));
                } else if (c == '}' && !bodies.empty()) {
                    bodies.pop_back();
                }
            }
        }
    }
    return found;
}

TEST_P(LayerIncludes, KeepEachSystemOutOfFunctionBodies) {
    const std::string& folder = GetParam();
    if (folder.ends_with("win32")) {
        GTEST_SKIP() << "a system's own folder";
    }
    EXPECT_EQ(SystemTestsInFunctions(folder), std::vector<std::string>{});
}

// A folder of sources the table does not name would be checked by nobody.
TEST(Layers, EveryFolderWithSourcesHasItsRules) {
    const Layers outside{"tests", "bench", "docs", "cmake", "scripts", ".git", ".ci"};
    std::vector<std::string> unnamed;
    const fs::path root(TIRVEL_SOURCE_DIR);
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator();
         ++it) {
        const std::string relative = fs::relative(it->path(), root).generic_string();
        if (it->is_directory() &&
            (outside.count(relative) > 0 || relative.rfind("build", 0) == 0)) {
            it.disable_recursion_pending();
            continue;
        }
        if (it->is_regular_file() && it->path().extension() == ".cpp") {
            const std::string folder =
                fs::relative(it->path().parent_path(), root).generic_string();
            if (kMayInclude.count(folder) == 0) {
                unnamed.push_back(folder);
            }
        }
    }
    std::sort(unnamed.begin(), unnamed.end());
    unnamed.erase(std::unique(unnamed.begin(), unnamed.end()), unnamed.end());
    EXPECT_EQ(unnamed, std::vector<std::string>{});
}

}  // namespace
