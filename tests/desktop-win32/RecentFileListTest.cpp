#include <gtest/gtest.h>

#include <vector>

#include "FrameFixture.h"

namespace app::win32::test {
namespace {

class RecentFiles : public ::testing::Test {
protected:
    void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, ScratchKey().c_str()); }

    // The values File1 ... File5 as the registry holds them ("" when absent).
    static std::vector<std::wstring> Stored() {
        std::vector<std::wstring> values;
        const std::wstring path = ScratchKey() + L"\\Recent File List";
        for (int i = 1; i <= 5; ++i) {
            wchar_t value[MAX_PATH * 2] = {};
            DWORD bytes = sizeof value;
            const std::wstring name = L"File" + std::to_wstring(i);
            if (RegGetValueW(HKEY_CURRENT_USER, path.c_str(), name.c_str(), RRF_RT_REG_SZ, nullptr,
                             value, &bytes) != ERROR_SUCCESS) {
                value[0] = L'\0';
            }
            values.emplace_back(value);
        }
        return values;
    }

    static std::vector<std::string> Narrowed(const std::vector<std::wstring>& files) {
        std::vector<std::string> narrowed;
        for (const std::wstring& file : files) {
            narrowed.push_back(fw::win32::Narrow(file));
        }
        return narrowed;
    }
};

TEST_F(RecentFiles, KeepsFourNewestFirstWithoutDuplicates) {
    CRegistryRecentFileStore store(ScratchKey());
    CRecentFileList list(store);
    EXPECT_TRUE(list.Files().empty());
    for (const char* file : {"C:\\cfg\\a.txt", "C:\\cfg\\b.txt", "C:\\cfg\\c.txt", "C:\\CFG\\A.TXT",
                             "C:\\cfg\\d.ini", "C:\\cfg\\e.txt"}) {
        list.Add(file);
    }
    // a.txt came back to the front once (in another spelling), then was
    // pushed out by d and e along with b.
    const std::vector<std::wstring> expected = {L"C:\\cfg\\e.txt", L"C:\\cfg\\d.ini",
                                                L"C:\\CFG\\A.TXT", L"C:\\cfg\\c.txt"};
    EXPECT_EQ(list.Files(), Narrowed(expected));
    std::vector<std::wstring> stored = Stored();
    EXPECT_EQ(stored[4], L"");
    stored.pop_back();
    EXPECT_EQ(stored, expected);

    // The next run reads the same list.
    EXPECT_EQ(CRecentFileList(store).Files(), Narrowed(expected));
}

TEST_F(RecentFiles, RemovingAnEntryRemovesItsLastValue) {
    CRegistryRecentFileStore store(ScratchKey());
    CRecentFileList list(store);
    list.Add("C:\\one.txt");
    list.Add("C:\\two.txt");
    list.Remove(0);
    const std::vector<std::wstring> stored = Stored();
    EXPECT_EQ(stored[0], L"C:\\one.txt");
    EXPECT_EQ(stored[1], L"");
}

TEST_F(RecentFiles, RelativeNamesAreStoredInFull) {
    CRegistryRecentFileStore store(ScratchKey());
    CRecentFileList list(store);
    list.Add("relative.txt");
    ASSERT_EQ(list.Files().size(), 1u);
    EXPECT_GT(list.Files()[0].size(), std::string("relative.txt").size());
    EXPECT_EQ(list.Files()[0].find(":\\"), 1u);
}

TEST(RecentFileKey, IsTheGeneratedApplicationsKey) {
    EXPECT_STREQ(kRegistryKey, L"Software\\Local AppWizard-Generated Applications\\Tirvel");
    CRegistryRecentFileStore store;
    EXPECT_EQ(store.Key(), kRegistryKey);
    EXPECT_EQ(CRecentFileList(store).Size(), 4);
}

}  // namespace
}  // namespace app::win32::test
