// The real main frame in this process, in a chosen language, with its recent
// files under a key of the test's own.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/core/RecentFileList.h"
#include "app/core/Tirvel2Doc.h"
#include "app/win32/MainFrameWindow.h"
#include "app/win32/RegistryRecentFileStore.h"
#include "framework/Language.h"
#include "framework/StringTable.h"
#include "framework/win32/Win32Api.h"
#include "framework/win32/Win32Host.h"

namespace app::win32::test {

inline std::wstring ScratchKey() {
    return L"Software\\Tirvel tests\\desktop-win32-" + std::to_wstring(GetCurrentProcessId());
}

inline std::wstring Text(UINT id) {
    return fw::win32::Widen(fw::LoadString(id));
}

inline void PumpMessages() {
    MSG message{};
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

class FrameFixture {
protected:
    void CreateFrame(fw::Language language) {
        ASSERT_TRUE(fw::win32::InitWin32Controls());
        fw::SetLanguage(language);
        recentFileStore_ = std::make_unique<CRegistryRecentFileStore>(ScratchKey());
        recentFiles_ = std::make_unique<CRecentFileList>(*recentFileStore_);
        document_ = std::make_unique<CTirvel2Doc>(*recentFiles_);
        frame_ = std::make_unique<CMainFrameWindow>(*document_, language);
        ASSERT_TRUE(frame_->IsCreated());
        PumpMessages();
    }

    void DestroyFrame() {
        frame_.reset();
        document_.reset();
        recentFiles_.reset();
        recentFileStore_.reset();
        PumpMessages();
        RegDeleteTreeW(HKEY_CURRENT_USER, ScratchKey().c_str());
        fw::SetLanguage(fw::Language::English);
    }

    std::unique_ptr<CRegistryRecentFileStore> recentFileStore_;
    std::unique_ptr<CRecentFileList> recentFiles_;
    std::unique_ptr<CTirvel2Doc> document_;
    std::unique_ptr<CMainFrameWindow> frame_;
};

class LanguageFrameTest : public FrameFixture, public ::testing::TestWithParam<fw::Language> {
protected:
    void SetUp() override { CreateFrame(GetParam()); }
    void TearDown() override { DestroyFrame(); }
};

inline std::string LanguageName(const ::testing::TestParamInfo<fw::Language>& info) {
    return info.param == fw::Language::Chinese ? "Chinese" : "English";
}

}  // namespace app::win32::test
