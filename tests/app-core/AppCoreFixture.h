// What the shell core's tests share: a recent-file store in memory that
// spells names the way a test chooses, and the view in a scripted window with
// scripted dialogs, as a desktop would hold it.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "LanguageForTheTest.h"
#include "ScriptedDialogs.h"
#include "ScriptedWindow.h"
#include "TempDir.h"
#include "app/core/RecentFileStore.h"
#include "form/MainFrame.h"
#include "form/Tirvel2View.h"
#include "res/ResourceIds.h"

namespace appcore {

// A name without a root is made full under /work; with ignoreCase, as on Windows, two
// spellings that differ in case are one file.
class MemoryRecentFileStore : public app::IRecentFileStore {
public:
    std::vector<std::string> Load(int count) override {
        std::vector<std::string> values;
        for (int i = 0; i < count; ++i) {
            const auto it = values_.find(i);
            values.push_back(it != values_.end() ? it->second : std::string());
        }
        return values;
    }
    void Save(const std::vector<std::optional<std::string>>& entries) override {
        ++saves;
        for (std::size_t i = 0; i < entries.size(); ++i) {
            if (entries[i]) {
                values_[static_cast<int>(i)] = *entries[i];
            } else {
                values_.erase(static_cast<int>(i));
            }
        }
    }
    std::string FullPath(const std::string& path) const override {
        const bool full = path.starts_with('/') || std::filesystem::path(path).is_absolute();
        return full ? path : "/work/" + path;
    }
    bool SameFile(const std::string& a, const std::string& b) const override {
        return ignoreCase ? Folded(FullPath(a)) == Folded(FullPath(b)) : FullPath(a) == FullPath(b);
    }

    // The stored values by slot (0 is File1); a missing slot is absent.
    const std::map<int, std::string>& Values() const { return values_; }
    void Put(int slot, const std::string& value) { values_[slot] = value; }

    bool ignoreCase = false;
    int saves = 0;

private:
    static std::string Folded(std::string text) {
        std::transform(text.begin(), text.end(), text.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        return text;
    }

    std::map<int, std::string> values_;
};

// The view on the form's template, as the desktops hold it, with no frame yet.
class ViewFixture : public ::testing::Test {
protected:
    void TearDown() override { AfxSetMainFrame(nullptr); }

    std::string ItemLabel(int n) const { return window_.Text(res::IDC_ITEM_LABEL_BASE + n); }
    std::vector<fw::UINT> MessageBoxTexts() const { return window_.MessageBoxTexts(); }

    testsupport::EnglishForTheTest english_;
    fw::CMessageLoop loop_;
    CTirvel2View view_;
    testsupport::ScriptedWindow window_{loop_, view_, res::IDD_TIRVEL2_FORM};
    testsupport::ScriptedDialogs dialogs_{loop_};
    testsupport::TempDir dir_;
    MemoryRecentFileStore store_;
};

}  // namespace appcore
