// The Win32 window layer against its contract, with real windows: the form
// from template 101, device bytes through CWnd, panes, message boxes with
// timers and posts arriving, a modal dialog typed into.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "ProgramStateTest.h"
#include "framework/CodePage.h"
#include "framework/DataExchange.h"
#include "framework/FormView.h"
#include "framework/RichEditCtrl.h"
#include "framework/StringTable.h"
#include "framework/win32/Win32DialogHost.h"
#include "framework/win32/Win32DialogTemplate.h"
#include "framework/win32/Win32FormView.h"
#include "framework/win32/Win32Host.h"
#include "framework/win32/Win32WindowSite.h"
#include "res/Dialogs.h"
#include "res/ResourceIds.h"

namespace {

using fw::win32::CWin32FormView;

struct Message {
    fw::UINT message;
    fw::WPARAM wParam;
    fw::LPARAM lParam;
};

class RecordingView : public fw::CFormView {
public:
    RecordingView() : CFormView(res::IDD_TIRVEL2_FORM) {}
    fw::LRESULT WindowProc(fw::UINT message, fw::WPARAM wParam, fw::LPARAM lParam) override {
        received.push_back({message, wParam, lParam});
        if (onMessage) {
            onMessage(message, wParam);
        }
        return 0;
    }
    std::vector<Message> received;
    std::function<void(fw::UINT, fw::WPARAM)> onMessage;
};

// Runs the thread's queue until the condition holds (or a generous limit).
template <typename Condition>
bool PumpUntil(Condition done) {
    for (int i = 0; i < 2000 && !done(); ++i) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE) != FALSE) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (!done()) {
            Sleep(5);
        }
    }
    return done();
}

// Closes the first message box of this process's thread that shows up, from a
// timer of the thread's own (the box's modal loop runs it).
std::wstring g_boxText;
void CALLBACK CloseBox(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND box = nullptr;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND hwnd, LPARAM out) -> BOOL {
            wchar_t cls[16] = {};
            GetClassNameW(hwnd, cls, 16);
            if (std::wstring(cls) == L"#32770" && IsWindowVisible(hwnd)) {
                *reinterpret_cast<HWND*>(out) = hwnd;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&box));
    if (box != nullptr) {
        KillTimer(nullptr, timer);
        wchar_t text[512] = {};
        // The text of a message box is its static 0xFFFF.
        GetDlgItemTextW(box, 0xFFFF, text, 512);
        g_boxText = text;
        PostMessageW(box, WM_COMMAND, IDOK, 0);
    }
}

class Win32Form : public testsupport::ProgramStateTest {
protected:
    void SetUp() override {
        fw::SetLanguage(fw::Language::English);
        ASSERT_TRUE(fw::win32::InitWin32Controls());
        form = std::make_unique<CWin32FormView>(view, fw::Language::English, nullptr, 0);
        ASSERT_TRUE(form->IsCreated());
        t = res::FindDialogTemplate(res::IDD_TIRVEL2_FORM, fw::Language::English);
        ASSERT_NE(t, nullptr);
    }
    void TearDown() override { form.reset(); }

    RecordingView view;
    std::unique_ptr<CWin32FormView> form;
    const fw::DialogTemplate* t = nullptr;
};

TEST_F(Win32Form, EveryTemplateControlIsAWindowWithItsIdAndStyle) {
    int withId = 0;
    for (const auto& c : t->controls) {
        if (c.id == -1) {
            continue;
        }
        ++withId;
        HWND hwnd = GetDlgItem(form->FormHwnd(), c.id);
        ASSERT_NE(hwnd, nullptr) << c.id;
        EXPECT_EQ(GetParent(hwnd), form->FormHwnd());
        EXPECT_EQ(form->IsControlVisible(c.id), (c.style & fw::kHidden) == 0) << c.id;
        EXPECT_EQ(form->IsControlEnabled(c.id), (c.style & fw::kDisabled) == 0) << c.id;
        const LONG style = GetWindowLongW(hwnd, GWL_STYLE);
        EXPECT_EQ((style & WS_TABSTOP) != 0, (c.style & fw::kTabStop) != 0) << c.id;
        if (c.kind == fw::ControlKind::Edit || c.kind == fw::ControlKind::RichEdit) {
            EXPECT_EQ((style & ES_READONLY) != 0, (c.style & fw::kReadOnly) != 0) << c.id;
        }
    }
    // Every control of the form is there, not only those with IDs.
    int children = 0;
    for (HWND child = GetWindow(form->FormHwnd(), GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        ++children;
    }
    EXPECT_EQ(children, static_cast<int>(t->controls.size()));
    EXPECT_EQ(t->controls.size(), 252u);
    EXPECT_GT(withId, 240);

    wchar_t cls[64] = {};
    GetClassNameW(form->Control(res::IDC_LOG_PANE), cls, 64);
    EXPECT_EQ(lstrcmpiW(cls, fw::win32::RichEditClassName()), 0);  // class names ignore case
}

TEST_F(Win32Form, ShowAndEnableAsSet) {
    const int id = res::IDC_LOG_PANE;
    EXPECT_FALSE(form->IsControlVisible(id));
    view.ShowDlgItem(id, fw::SW_SHOW);
    EXPECT_TRUE(form->IsControlVisible(id));
    view.ShowDlgItem(id, fw::SW_HIDE);
    EXPECT_FALSE(form->IsControlVisible(id));
    view.EnableDlgItem(1301, false);
    EXPECT_FALSE(form->IsControlEnabled(1301));
    EXPECT_FALSE(IsWindowEnabled(form->Control(1301)));
    view.EnableDlgItem(1301, true);
    EXPECT_TRUE(form->IsControlEnabled(1301));
    // Unknown IDs are ignored.
    view.ShowDlgItem(4242, fw::SW_SHOW);
    EXPECT_FALSE(form->IsControlVisible(4242));
}

// Device bytes in each language's code page, including bytes that do not
// decode: what the window shows goes back as the very same bytes.
struct BytesCase {
    fw::Language language;
    std::string bytes;
};

class Win32FormBytes : public Win32Form, public ::testing::WithParamInterface<BytesCase> {};

TEST_P(Win32FormBytes, RoundTripThroughARealControl) {
    fw::SetLanguage(GetParam().language);
    const int id = 1401;  // row 1's new value
    view.SetDlgItemBytes(id, GetParam().bytes);
    EXPECT_EQ(view.GetDlgItemBytes(id), GetParam().bytes);
    // The window holds the decoded text, not the bytes.
    wchar_t shown[256] = {};
    GetWindowTextW(form->Control(id), shown, 256);
    EXPECT_EQ(fw::win32::Narrow(shown), fw::DecodeAnsi(GetParam().bytes));
}

INSTANTIATE_TEST_SUITE_P(
    CodePages, Win32FormBytes,
    ::testing::Values(BytesCase{fw::Language::Chinese, "\xC4\xE3\xBA\xC3 apn"},  // 你好
                      BytesCase{fw::Language::Chinese, "ab\x81\x30\x81\x30\xFF"},
                      BytesCase{fw::Language::English, "caf\xE9 \x81\x8D\x9D"},
                      BytesCase{fw::Language::English, "plain"}));

TEST_F(Win32Form, TypedTextIsEncodedAndRaisesEnChangeOnlyWhenTyped) {
    const int id = 1402;
    view.SetDlgItemBytes(id, "old");
    EXPECT_TRUE(view.received.empty()) << "text the system sets is no edit";
    SetFocus(form->Control(id));
    SendMessageW(form->Control(id), EM_SETSEL, 0, -1);
    SendMessageW(form->Control(id), WM_CHAR, L'x', 0);  // the operator types
    ASSERT_FALSE(view.received.empty());
    EXPECT_EQ(view.received.back().message, fw::WM_COMMAND);
    EXPECT_EQ(view.received.back().wParam, fw::MAKEWPARAM(id, fw::EN_CHANGE));
    EXPECT_EQ(view.GetDlgItemBytes(id), "x");
}

TEST_F(Win32Form, CheckBoxesAndButtonClicks) {
    view.CheckDlgButton(1501, 1);
    EXPECT_EQ(view.IsDlgButtonChecked(1501), 1);
    view.CheckDlgButton(1501, 0);
    EXPECT_EQ(view.IsDlgButtonChecked(1501), 0);
    // A click on a check box is no command; a click on a button is.
    SendMessageW(form->Control(1501), BM_CLICK, 0, 0);
    EXPECT_EQ(view.IsDlgButtonChecked(1501), 1);
    EXPECT_TRUE(view.received.empty());
    int button = 0;
    for (const auto& c : t->controls) {
        if (c.kind == fw::ControlKind::PushButton && (c.style & fw::kDisabled) == 0) {
            button = c.id;
            break;
        }
    }
    ASSERT_NE(button, 0);
    view.ShowDlgItem(button, fw::SW_SHOW);
    SendMessageW(form->Control(button), BM_CLICK, 0, 0);
    ASSERT_EQ(view.received.size(), 1u);
    EXPECT_EQ(view.received[0].wParam, static_cast<fw::WPARAM>(button));
}

TEST_F(Win32Form, AStaticWithALookIsColouredByTheFormsDialogProcedure) {
    int label = -1;
    for (const auto& c : t->controls) {
        label = label == -1 && c.kind == fw::ControlKind::Static ? c.id : label;
    }
    form->SetTextLook(label, {200, false, 0xFFFFFF, true, 0x008000});
    HDC dc = GetDC(form->Control(label));
    const LRESULT brush =
        SendMessageW(form->FormHwnd(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                     reinterpret_cast<LPARAM>(form->Control(label)));
    LOGBRUSH colour{};
    GetObjectW(reinterpret_cast<HGDIOBJ>(brush), sizeof(colour), &colour);
    EXPECT_EQ(colour.lbColor, RGB(0, 0x80, 0));
    EXPECT_EQ(GetTextColor(dc), RGB(0xFF, 0xFF, 0xFF));
    ReleaseDC(form->Control(label), dc);
}

class PaneView : public RecordingView {
public:
    void DoDataExchange(fw::CDataExchange* pDX) override {
        fw::DDX_Control(pDX, res::IDC_LOG_PANE, log);
    }
    fw::CRichEditCtrl log;
};

TEST(Win32Pane, AppendsAtTheEndJoiningCrLfSplitAcrossPieces) {
    fw::SetLanguage(fw::Language::English);
    PaneView view;
    CWin32FormView form(view, fw::Language::English, nullptr, 0);
    ASSERT_TRUE(view.UpdateData(false));
    view.log.SetLook({true, 0x000000, 0xFFFFFF, 250, fw::LoadString(res::IDS_PANE_FONT_FACE)});
    view.log.AppendBytes("boot\r");
    view.log.AppendBytes("\nline2\nline3\rline4\r\n");
    EXPECT_EQ(form.GetControlText(res::IDC_LOG_PANE), "boot\r\nline2\r\nline3\r\nline4\r\n");
    view.log.AppendBytes("ab");
    view.log.DeleteLastCharacter();  // the device's backspace
    EXPECT_EQ(form.GetControlText(res::IDC_LOG_PANE), "boot\r\nline2\r\nline3\r\nline4\r\na");
    // The bytes stay exactly what arrived, CR LF split or not.
    EXPECT_EQ(view.log.GetTextBytes(), "boot\r\nline2\nline3\rline4\r\na");

    HWND pane = form.Control(res::IDC_LOG_PANE);
    CHARFORMAT2W format{};
    format.cbSize = sizeof(format);
    SendMessageW(pane, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
    EXPECT_EQ(format.yHeight, 250);
    EXPECT_EQ(format.crTextColor, RGB(255, 255, 255));
    EXPECT_NE(SendMessageW(pane, EM_GETOPTIONS, 0, 0) & ECO_READONLY, 0);
}

TEST_F(Win32Form, TimerAndPostFromAnotherThreadArriveWhileAMessageBoxIsOpen) {
    std::atomic<bool> posted{false};
    view.onMessage = [&](fw::UINT message, fw::WPARAM) {
        if (message == fw::WM_TIMER && !posted.exchange(true)) {
            std::thread([this] { view.PostMessage(fw::WM_USER + 100, 7, 9); }).join();
        }
    };
    ASSERT_EQ(view.SetTimer(1, 20), 1u);
    g_boxText.clear();
    const UINT_PTR closer = SetTimer(nullptr, 0, 500, &CloseBox);
    const int result = view.AfxMessageBox(res::IDS_PANE_FONT_FACE);
    KillTimer(nullptr, closer);
    view.KillTimer(1);
    EXPECT_EQ(result, fw::IDOK);
    EXPECT_EQ(fw::win32::Narrow(g_boxText), fw::LoadString(res::IDS_PANE_FONT_FACE));
    bool timer = false;
    bool post = false;
    for (const auto& m : view.received) {
        timer = timer || (m.message == fw::WM_TIMER && m.wParam == 1);
        post = post || (m.message == fw::WM_USER + 100 && m.wParam == 7 && m.lParam == 9);
    }
    EXPECT_TRUE(timer);
    EXPECT_TRUE(post);
}

TEST_F(Win32Form, KilledTimersStopAndPostsKeepTheirOrder) {
    for (int i = 0; i < 5; ++i) {
        view.PostMessage(fw::WM_USER + 1000, static_cast<fw::WPARAM>(i), 0);
    }
    ASSERT_TRUE(PumpUntil([&] { return view.received.size() >= 5; }));
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(view.received[static_cast<std::size_t>(i)].wParam, static_cast<fw::WPARAM>(i));
    }
    EXPECT_TRUE(view.KillTimer(3) == false);
    EXPECT_EQ(view.SetTimer(3, 10), 3u);
    EXPECT_TRUE(view.KillTimer(3));
}

TEST_F(Win32Form, ScrollsTheTallFormAndBringsFocusedControlsIntoView) {
    form->Move(RECT{0, 0, 400, 300});
    const SIZE size = form->FormSizePixels();
    RECT expected{0, 0, t->width, t->height};
    MapDialogRect(form->FormHwnd(), &expected);
    EXPECT_EQ(size.cx, expected.right);
    EXPECT_EQ(size.cy, expected.bottom);
    SCROLLINFO info{};
    info.cbSize = sizeof(info);
    info.fMask = SIF_ALL;
    ASSERT_TRUE(GetScrollInfo(form->Hwnd(), SB_VERT, &info));
    EXPECT_EQ(info.nMax, size.cy - 1);
    RECT client{};
    GetClientRect(form->Hwnd(), &client);
    EXPECT_EQ(static_cast<LONG>(info.nPage), client.bottom);

    view.FocusDlgItem(1460);  // row 60, far below
    const POINT scrolled = form->ScrollPosition();
    EXPECT_GT(scrolled.y, 0);
    RECT r{};
    GetWindowRect(form->Control(1460), &r);
    MapWindowPoints(HWND_DESKTOP, form->Hwnd(), reinterpret_cast<POINT*>(&r), 2);
    EXPECT_GE(r.top, 0);
    EXPECT_LE(r.bottom, client.bottom);
    SendMessageW(form->Hwnd(), WM_VSCROLL, SB_TOP, 0);
    EXPECT_EQ(form->ScrollPosition().y, 0);
}

// Grown from a small size to the form's own, the form view inside a frame
// shows the whole form and no scroll bar (the bars of the small size took
// room it then had).
TEST(Win32FormInAFrame, GrownToTheWholeFormItShowsNoScrollBar) {
    fw::SetLanguage(fw::Language::English);
    ASSERT_TRUE(fw::win32::InitWin32Controls());
    const HWND frame = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 200, 150, nullptr,
                                       nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(frame, nullptr);
    {
        RecordingView view;
        CWin32FormView form(view, fw::Language::English, frame, 1);
        ASSERT_TRUE(form.IsCreated());
        form.Move(RECT{0, 0, 200, 150});
        const SIZE size = form.FormSizePixels();
        form.Move(RECT{0, 0, size.cx, size.cy});
        RECT client{};
        GetClientRect(form.Hwnd(), &client);
        EXPECT_EQ(client.right, size.cx);
        EXPECT_EQ(client.bottom, size.cy);
        const LONG_PTR style = GetWindowLongPtrW(form.Hwnd(), GWL_STYLE);
        EXPECT_EQ(style & (WS_VSCROLL | WS_HSCROLL), 0);
    }
    DestroyWindow(frame);
}

// Dialog 132 as the operator uses it: typed text comes out through the
// exchange when OK ends it.
class PortDialog : public fw::CDialog {
public:
    PortDialog() : CDialog(res::IDD_SETTINGS) {}
    bool OnInitDialog() override {
        const bool result = CDialog::OnInitDialog();
        auto* site = dynamic_cast<fw::win32::CWin32WindowSite*>(Site());
        if (site == nullptr) {
            return result;
        }
        HWND self = site->Dialog();
        HWND edit = GetDlgItem(self, res::IDC_COM_PORT);
        SetFocus(edit);
        SendMessageW(edit, EM_SETSEL, 0, -1);
        for (wchar_t ch : std::wstring(L"12x")) {  // a digits-only field drops the x
            PostMessageW(edit, WM_CHAR, ch, 0);
        }
        PostMessageW(GetDlgItem(self, fw::IDOK), BM_CLICK, 0, 0);
        return result;
    }
    void DoDataExchange(fw::CDataExchange* pDX) override {
        fw::DDX_Text(pDX, res::IDC_COM_PORT, port);
    }
    std::string port = "1";
};

TEST(Win32Dialog, SettingsDialogTakesTypedTextAndEndsWithOk) {
    fw::SetLanguage(fw::Language::English);
    fw::win32::CWin32DialogHost host;
    fw::SetDialogHost(&host);
    PortDialog dialog;
    const int result = dialog.DoModal();
    fw::SetDialogHost(nullptr);
    EXPECT_EQ(result, fw::IDOK);
    EXPECT_EQ(dialog.port, "12");
    EXPECT_EQ(dialog.Site(), nullptr);
}

TEST(Win32Dialog, FilterBecomesNullSeparatedPairs) {
    EXPECT_EQ(fw::win32::ToWin32Filter("Text (*.txt)|*.txt;*.ini|All|*.*||"),
              std::wstring(L"Text (*.txt)\0*.txt;*.ini\0All\0*.*\0\0", 34));
    EXPECT_TRUE(fw::win32::ToWin32Filter("").empty());
}

// The builder's template: what Windows reads from it is the template's data.
class Win32Template : public ::testing::TestWithParam<fw::UINT> {};

TEST_P(Win32Template, SizesInDialogUnitsMapToThePixelsOfTheWindow) {
    ASSERT_TRUE(fw::win32::InitWin32Controls());
    const fw::DialogTemplate* t = res::FindDialogTemplate(GetParam(), fw::Language::English);
    ASSERT_NE(t, nullptr);
    const std::vector<DWORD> bytes =
        fw::win32::BuildDialogTemplateEx(*t, fw::win32::TemplateUse::Modal);
    const auto* header = reinterpret_cast<const WORD*>(bytes.data());
    EXPECT_EQ(header[0], 1);
    EXPECT_EQ(header[1], 0xFFFF);
    EXPECT_EQ(header[8], t->controls.size());
    HWND dialog = CreateDialogIndirectParamW(
        GetModuleHandleW(nullptr), reinterpret_cast<LPCDLGTEMPLATEW>(bytes.data()), nullptr,
        [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; }, 0);
    ASSERT_NE(dialog, nullptr);
    RECT client{};
    GetClientRect(dialog, &client);
    RECT expected{0, 0, t->width, t->height};
    MapDialogRect(dialog, &expected);
    EXPECT_EQ(client.right, expected.right);
    EXPECT_EQ(client.bottom, expected.bottom);
    wchar_t caption[256] = {};
    GetWindowTextW(dialog, caption, 256);
    EXPECT_EQ(fw::win32::Narrow(caption), t->caption);
    for (const auto& c : t->controls) {
        if (c.id == -1) {
            continue;
        }
        HWND control = GetDlgItem(dialog, c.id);
        ASSERT_NE(control, nullptr) << c.id;
        RECT r{};
        GetWindowRect(control, &r);
        MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&r), 2);
        RECT want{c.rect.x, c.rect.y, c.rect.x + c.rect.width, c.rect.y + c.rect.height};
        MapDialogRect(dialog, &want);
        EXPECT_EQ(r.left, want.left) << c.id;
        EXPECT_EQ(r.top, want.top) << c.id;
        EXPECT_NEAR(r.right - r.left, want.right - want.left, 1) << c.id;
        EXPECT_NEAR(r.bottom - r.top, want.bottom - want.top, 1) << c.id;
    }
    DestroyWindow(dialog);
}

INSTANTIATE_TEST_SUITE_P(AllDialogs, Win32Template,
                         ::testing::Values(res::IDD_ABOUTBOX, res::IDD_SETTINGS, res::IDD_TRANSFER,
                                           res::IDD_PASSWORD));

}  // namespace
