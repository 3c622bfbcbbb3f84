#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "AppCoreFixture.h"
#include "app/core/RecentFileList.h"

namespace {

using Files = std::vector<std::string>;
using appcore::MemoryRecentFileStore;

TEST(RecentFileList, KeepsTheNewestFirstWithinItsSize) {
    MemoryRecentFileStore store;
    app::CRecentFileList list(store);
    EXPECT_EQ(list.Size(), 4);
    EXPECT_TRUE(list.Files().empty());
    for (const char* file : {"a", "b", "c", "d", "e"}) {
        list.Add(file);
    }
    EXPECT_EQ(list.Files(), (Files{"/work/e", "/work/d", "/work/c", "/work/b"}));
    EXPECT_EQ(store.Values(), (std::map<int, std::string>{
                                  {0, "/work/e"}, {1, "/work/d"}, {2, "/work/c"}, {3, "/work/b"}}));
    EXPECT_EQ(store.saves, 5);
}

// An entry comes back to the front under its new spelling, and never twice.
TEST(RecentFileList, AFileAddedAgainMovesToTheFrontUnderItsNewSpelling) {
    MemoryRecentFileStore store;
    store.ignoreCase = true;
    app::CRecentFileList list(store, 3);
    list.Add("/cfg/a.txt");
    list.Add("/cfg/b.txt");
    list.Add("/CFG/A.TXT");
    EXPECT_EQ(list.Files(), (Files{"/CFG/A.TXT", "/cfg/b.txt"}));

    store.ignoreCase = false;
    list.Add("/cfg/a.txt");
    EXPECT_EQ(list.Files(), (Files{"/cfg/a.txt", "/CFG/A.TXT", "/cfg/b.txt"}));
    // A relative name and its full name are one file.
    list.Add("/work/x");
    list.Add("x");
    EXPECT_EQ(list.Files(), (Files{"/work/x", "/cfg/a.txt", "/CFG/A.TXT"}));
}

TEST(RecentFileList, ReadsWhatTheLastRunLeftSkippingEmptySlots) {
    MemoryRecentFileStore store;
    store.Put(0, "/one");
    store.Put(2, "/three");
    store.Put(4, "/beyond the list");
    app::CRecentFileList list(store);
    EXPECT_EQ(list.Files(), (Files{"/one", "/three"}));
    EXPECT_EQ(store.saves, 0);

    store.Put(1, "/two");
    list.ReadList();
    EXPECT_EQ(list.Files(), (Files{"/one", "/two", "/three"}));
}

// Every slot is written: one the list no longer fills loses its value.
TEST(RecentFileList, RemovingAnEntryClearsTheSlotItLeaves) {
    MemoryRecentFileStore store;
    app::CRecentFileList list(store);
    list.Add("/one");
    list.Add("/two");
    list.Remove(0);
    EXPECT_EQ(list.Files(), (Files{"/one"}));
    EXPECT_EQ(store.Values(), (std::map<int, std::string>{{0, "/one"}}));

    const int saves = store.saves;
    list.Remove(1);
    list.Remove(-1);
    EXPECT_EQ(store.saves, saves);
    EXPECT_EQ(list.Files(), (Files{"/one"}));
}

}  // namespace
