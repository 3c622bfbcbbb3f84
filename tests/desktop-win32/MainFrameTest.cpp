#include <gtest/gtest.h>

#include <map>
#include <set>
#include <tuple>
#include <vector>

#include "FrameFixture.h"
#include "form/Tirvel2View.h"
#include "framework/win32/Win32FormView.h"
#include "res/Accelerators.h"
#include "res/ResourceIds.h"

namespace app::win32::test {
namespace {

using Frame = LanguageFrameTest;

constexpr UINT kToolbarCommands[] = {
    res::ID_START_CONFIG,    res::ID_STOP_CONFIG,     res::ID_MODIFY,          res::ID_RESTORE,
    res::ID_UPDATE_FIRMWARE, res::ID_SELECT_FIRMWARE, res::ID_SHOW_DEBUG_INFO, res::ID_SETTINGS,
    res::ID_APP_ABOUT,       res::ID_APP_EXIT};

bool ButtonEnabled(HWND toolbar, UINT command) {
    const LRESULT state = SendMessageW(toolbar, TB_GETSTATE, command, 0);
    EXPECT_NE(state, -1) << "no button " << command;
    return (state & TBSTATE_ENABLED) != 0;
}

TEST_P(Frame, ToolbarHoldsTheTenCommandsInOrder) {
    HWND toolbar = frame_->ToolBar().Hwnd();
    ASSERT_EQ(GetDlgCtrlID(toolbar), 0xE800);
    std::vector<UINT> commands;
    const auto count = static_cast<int>(SendMessageW(toolbar, TB_BUTTONCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        TBBUTTON button{};
        SendMessageW(toolbar, TB_GETBUTTON, i, reinterpret_cast<LPARAM>(&button));
        if ((button.fsStyle & BTNS_SEP) == 0) {
            commands.push_back(static_cast<UINT>(button.idCommand));
        }
    }
    EXPECT_EQ(count, 11);
    EXPECT_EQ(commands,
              std::vector<UINT>(std::begin(kToolbarCommands), std::end(kToolbarCommands)));
}

// Which commands each frame state enables (Stop and Exit, the connection
// commands only in Idle, Modify and Restore only while Connected, About up to
// Connected).
TEST_P(Frame, EnablesTheCommandsOfEachState) {
    const std::map<int, std::set<UINT>> enabled = {
        {kStateIdle,
         {res::ID_START_CONFIG, res::ID_SETTINGS, res::ID_UPDATE_FIRMWARE, res::ID_SELECT_FIRMWARE,
          res::ID_SHOW_DEBUG_INFO, res::ID_APP_ABOUT, res::ID_APP_EXIT}},
        {kStateConnecting, {res::ID_STOP_CONFIG, res::ID_APP_ABOUT, res::ID_APP_EXIT}},
        {kStateConnected,
         {res::ID_STOP_CONFIG, res::ID_MODIFY, res::ID_RESTORE, res::ID_APP_ABOUT,
          res::ID_APP_EXIT}},
        {kStateAwaitingLoader, {res::ID_STOP_CONFIG, res::ID_APP_EXIT}},
        {kStateDebugLog, {res::ID_STOP_CONFIG, res::ID_APP_EXIT}},
    };
    // Back to Idle last: the buttons must follow every change, both ways.
    for (int state : {kStateConnecting, kStateConnected, kStateAwaitingLoader, kStateDebugLog,
                      kStateConnected, kStateIdle}) {
        frame_->SetConnectionState(state);
        frame_->OnIdle();
        for (UINT command : kToolbarCommands) {
            EXPECT_EQ(ButtonEnabled(frame_->ToolBar().Hwnd(), command),
                      enabled.at(state).contains(command))
                << "command " << command << " in state " << state;
        }
    }
}

TEST_P(Frame, CaptionIsTheApplicationTitleAfterNewDocument) {
    wchar_t caption[256] = {};
    GetWindowTextW(frame_->Hwnd(), caption, 256);
    EXPECT_EQ(std::wstring(caption), Text(res::IDS_APP_TITLE));
    document_->OnFileNew();
    GetWindowTextW(frame_->Hwnd(), caption, 256);
    EXPECT_EQ(std::wstring(caption), Text(res::IDS_APP_TITLE));
    wchar_t className[64] = {};
    GetClassNameW(frame_->Hwnd(), className, 64);
    EXPECT_STREQ(className, L"tirvel");
    EXPECT_EQ(GetMenu(frame_->Hwnd()), nullptr);
}

TEST_P(Frame, CannotBeMadeSmallerThanTheMinimum) {
    SetWindowPos(frame_->Hwnd(), nullptr, 0, 0, 300, 200, SWP_NOZORDER | SWP_NOMOVE);
    RECT rect{};
    GetWindowRect(frame_->Hwnd(), &rect);
    EXPECT_GE(rect.right - rect.left, 820);
    EXPECT_GE(rect.bottom - rect.top, 650);
}

TEST_P(Frame, FormFillsTheSpaceBetweenToolbarAndStatusBar) {
    SetWindowPos(frame_->Hwnd(), nullptr, 0, 0, 1000, 800, SWP_NOZORDER | SWP_NOMOVE);
    RECT toolbar{};
    RECT status{};
    RECT form{};
    GetWindowRect(frame_->ToolBar().Hwnd(), &toolbar);
    GetWindowRect(frame_->StatusBar(), &status);
    GetWindowRect(frame_->FormView()->Hwnd(), &form);
    EXPECT_EQ(form.top, toolbar.bottom);
    EXPECT_EQ(form.bottom, status.top);
    EXPECT_GE(toolbar.bottom - toolbar.top, 72);
}

// Prompt (status bar) and tooltip of each command, as its command string has
// them; a command without a tooltip part shows none.
TEST_P(Frame, ShowsEachCommandsTooltipAndPrompt) {
    const bool zh = GetParam() == fw::Language::Chinese;
    const std::map<UINT, std::pair<std::wstring, std::wstring>> expected = {
        {res::ID_START_CONFIG, zh ? std::pair<std::wstring, std::wstring>{L"开始配置", L"开始配置"}
                                  : std::pair<std::wstring, std::wstring>{L"Start Configuration",
                                                                          L"Start Configuration"}},
        {res::ID_UPDATE_FIRMWARE, zh ? std::pair<std::wstring, std::wstring>{L"更新固件", L""}
                                     : std::pair<std::wstring, std::wstring>{L"", L""}},
        {res::ID_SHOW_DEBUG_INFO,
         zh ? std::pair<std::wstring, std::wstring>{L"显示DTU调试信息", L""}
            : std::pair<std::wstring, std::wstring>{L"show dtu debug info", L""}},
        {res::ID_APP_EXIT,
         zh ? std::pair<std::wstring, std::wstring>{L"退出应用程序", L"退出"}
            : std::pair<std::wstring, std::wstring>{L"Quit the application", L"Exit"}},
    };
    HWND toolbar = frame_->ToolBar().Hwnd();
    for (const auto& [command, texts] : expected) {
        NMTTDISPINFOW tip{};
        tip.hdr.code = TTN_GETDISPINFOW;
        tip.hdr.idFrom = command;
        SendMessageW(frame_->Hwnd(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&tip));
        const std::wstring shown = tip.lpszText != nullptr ? tip.lpszText : tip.szText;
        EXPECT_EQ(shown, texts.second) << "tooltip of " << command;

        NMTBHOTITEM hot{};
        hot.hdr.hwndFrom = toolbar;
        hot.hdr.idFrom = 0xE800;
        hot.hdr.code = TBN_HOTITEMCHANGE;
        hot.idNew = static_cast<int>(command);
        hot.dwFlags = HICF_MOUSE | HICF_ENTERING;
        SendMessageW(frame_->Hwnd(), WM_NOTIFY, 0xE800, reinterpret_cast<LPARAM>(&hot));
        EXPECT_EQ(frame_->StatusText(CMainFrameWindow::kMessagePane), texts.first)
            << "prompt of " << command;
    }
    NMTBHOTITEM leaving{};
    leaving.hdr.hwndFrom = toolbar;
    leaving.hdr.idFrom = 0xE800;
    leaving.hdr.code = TBN_HOTITEMCHANGE;
    leaving.idOld = res::ID_APP_EXIT;
    leaving.dwFlags = HICF_MOUSE | HICF_LEAVING;
    SendMessageW(frame_->Hwnd(), WM_NOTIFY, 0xE800, reinterpret_cast<LPARAM>(&leaving));
    EXPECT_EQ(frame_->StatusText(CMainFrameWindow::kMessagePane), zh ? L"就绪" : L"Ready");
}

TEST_P(Frame, ButtonsCarryTheirCaptionsWithinTheirSize) {
    const bool zh = GetParam() == fw::Language::Chinese;
    const std::map<UINT, std::wstring> captions = {
        {res::ID_START_CONFIG, zh ? L"开始配置" : L"Start Config"},
        {res::ID_RESTORE, zh ? L"恢复出厂" : L"Restore"},
        {res::ID_SELECT_FIRMWARE, zh ? L"选择文件" : L"Selete File"},
        {res::ID_APP_EXIT, zh ? L"退出" : L"Exit"},
    };
    HWND toolbar = frame_->ToolBar().Hwnd();
    for (const auto& [command, caption] : captions) {
        wchar_t text[64] = {};
        SendMessageW(toolbar, TB_GETBUTTONTEXTW, command, reinterpret_cast<LPARAM>(text));
        EXPECT_EQ(std::wstring(text), caption);
    }
    for (UINT command : kToolbarCommands) {
        RECT rect{};
        const auto index = SendMessageW(toolbar, TB_COMMANDTOINDEX, command, 0);
        SendMessageW(toolbar, TB_GETITEMRECT, static_cast<WPARAM>(index),
                     reinterpret_cast<LPARAM>(&rect));
        EXPECT_EQ(rect.right - rect.left, 72) << "button " << command;
    }
}

// The lock keys' lights as this thread's keyboard state has them.
TEST_P(Frame, IndicatorsShowTheLockKeysThatAreOn) {
    BYTE saved[256] = {};
    ASSERT_TRUE(GetKeyboardState(saved));
    for (const auto& [caps, num, scroll] :
         {std::tuple{true, false, true}, std::tuple{false, true, false}}) {
        BYTE keys[256];
        std::copy(std::begin(saved), std::end(saved), keys);
        keys[VK_CAPITAL] = caps ? 1 : 0;
        keys[VK_NUMLOCK] = num ? 1 : 0;
        keys[VK_SCROLL] = scroll ? 1 : 0;
        ASSERT_TRUE(SetKeyboardState(keys));
        frame_->OnIdle();
        EXPECT_EQ(frame_->StatusText(CMainFrameWindow::kCapsPane),
                  caps ? Text(res::IDS_INDICATOR_CAPS) : L"");
        EXPECT_EQ(frame_->StatusText(CMainFrameWindow::kNumPane),
                  num ? Text(res::IDS_INDICATOR_NUM) : L"");
        EXPECT_EQ(frame_->StatusText(CMainFrameWindow::kScrollPane),
                  scroll ? Text(res::IDS_INDICATOR_SCRL) : L"");
    }
    SetKeyboardState(saved);
    EXPECT_EQ(Text(res::IDS_INDICATOR_CAPS),
              GetParam() == fw::Language::Chinese ? L"大写" : L"CAP");
}

// The frame's keys: the file commands are its own; the edit keys are left to
// the focused control, so no entry may take them.
TEST_P(Frame, AcceleratorsLeaveTheEditKeysToTheControls) {
    HACCEL table = frame_->Accelerators();
    ASSERT_NE(table, nullptr);
    std::vector<ACCEL> entries(static_cast<std::size_t>(CopyAcceleratorTableW(table, nullptr, 0)));
    CopyAcceleratorTableW(table, entries.data(), static_cast<int>(entries.size()));
    const auto command = [&](unsigned modifiers, unsigned key) -> int {
        for (const ACCEL& entry : entries) {
            if ((entry.fVirt & ~FNOINVERT) == (FVIRTKEY | modifiers) && entry.key == key) {
                return entry.cmd;
            }
        }
        return -1;
    };
    EXPECT_EQ(command(res::FCONTROL, 'N'), static_cast<int>(res::ID_FILE_NEW));
    EXPECT_EQ(command(res::FCONTROL, 'O'), static_cast<int>(res::ID_FILE_OPEN));
    EXPECT_EQ(command(res::FCONTROL, 'S'), static_cast<int>(res::ID_FILE_SAVE));
    EXPECT_EQ(command(res::FCONTROL, 'P'), static_cast<int>(res::ID_FILE_PRINT));
    for (const auto& [modifiers, key] : {std::pair<unsigned, unsigned>{res::FCONTROL, 'C'},
                                         {res::FCONTROL, 'X'},
                                         {res::FCONTROL, 'V'},
                                         {res::FCONTROL, 'Z'},
                                         {res::FCONTROL, res::VK_INSERT},
                                         {res::FSHIFT, res::VK_INSERT},
                                         {res::FSHIFT, res::VK_DELETE},
                                         {res::FALT, res::VK_BACK}}) {
        EXPECT_EQ(command(modifiers, key), -1) << "key " << key;
    }
}

INSTANTIATE_TEST_SUITE_P(BothLanguages, Frame,
                         ::testing::Values(fw::Language::English, fw::Language::Chinese),
                         LanguageName);

// Closing in every state with device activity: the view's Stop runs first,
// whether by the caption button (WM_CLOSE) or Exit.
class FrameClosing : public FrameFixture, public ::testing::TestWithParam<std::tuple<int, bool>> {
protected:
    void SetUp() override { CreateFrame(fw::Language::English); }
    void TearDown() override { DestroyFrame(); }
};

TEST_P(FrameClosing, StopsTheViewBeforeTheWindowGoes) {
    const auto [state, byExit] = GetParam();
    frame_->View().m_nConnectState = state;
    frame_->SetConnectionState(state == kStateLoaderDialogue ? kStateAwaitingLoader : state);
    HWND hwnd = frame_->Hwnd();
    if (byExit) {
        frame_->OnCommand(res::ID_APP_EXIT);
        PumpMessages();
    } else {
        SendMessageW(hwnd, WM_CLOSE, 0, 0);
    }
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(frame_->View().m_nConnectState, kStateIdle);
    EXPECT_EQ(frame_->ConnectionState(), kStateIdle);
}

INSTANTIATE_TEST_SUITE_P(ActiveStates, FrameClosing,
                         ::testing::Combine(::testing::Values(kStateConnected, kStateAwaitingLoader,
                                                              kStateLoaderDialogue, kStateDebugLog),
                                            ::testing::Bool()));

}  // namespace
}  // namespace app::win32::test
