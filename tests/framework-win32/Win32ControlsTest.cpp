// The Win32 site's radio groups, drop-down list and static looks with real
// windows, read back with the system's own calls; and a look changed over and
// over costs no GDI objects.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "framework/ComboBox.h"
#include "framework/FormView.h"
#include "framework/win32/Win32DialogTemplate.h"
#include "framework/win32/Win32FormView.h"
#include "framework/win32/Win32Host.h"
#include "framework/win32/Win32WindowSite.h"
#include "res/Dialogs.h"
#include "res/ResourceIds.h"

namespace {

using fw::ControlKind;

constexpr int kVerdict = 10;
constexpr int kJobLoad = 11;
constexpr int kJobSave = 12;
constexpr int kJobErase = 13;
constexpr int kPorts = 14;
constexpr int kSpeedSlow = 15;
constexpr int kSpeedFast = 16;

fw::DialogTemplate StationLikeTemplate() {
    fw::DialogTemplate t;
    t.fontFace = "MS Shell Dlg";
    t.fontPoints = 8;
    t.width = 200;
    t.height = 120;
    t.controls = {
        {kVerdict, ControlKind::Static, 0, {5, 5, 60, 20}, "--"},
        {kJobLoad, ControlKind::RadioButton, fw::kGroup | fw::kTabStop, {5, 30, 50, 10}, "Load"},
        {kJobSave, ControlKind::RadioButton, 0, {5, 42, 50, 10}, "Save"},
        {kJobErase, ControlKind::RadioButton, 0, {5, 54, 50, 10}, "Erase"},
        {kPorts, ControlKind::ComboBox, fw::kGroup | fw::kTabStop, {70, 30, 60, 80}, "COM9"},
        {kSpeedSlow, ControlKind::RadioButton, fw::kGroup, {140, 30, 50, 10}, "Slow"},
        {kSpeedFast, ControlKind::RadioButton, 0, {140, 42, 50, 10}, "Fast"},
    };
    return t;
}

class CommandWindow : public fw::CWnd {
public:
    fw::LRESULT WindowProc(fw::UINT message, fw::WPARAM wParam, fw::LPARAM) override {
        if (message == fw::WM_COMMAND) {
            commands.push_back(wParam);
        }
        return 0;
    }
    std::vector<fw::WPARAM> commands;
};

COLORREF BrushColour(HBRUSH brush) {
    LOGBRUSH logBrush{};
    GetObjectW(brush, sizeof(logBrush), &logBrush);
    return logBrush.lbColor;
}

// The test's dialog answers its controls as the desktop's dialog procedures
// do: commands and static colours through the site.
class Win32Controls : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(fw::win32::InitWin32Controls());
        const std::vector<DWORD> bytes =
            fw::win32::BuildDialogTemplateEx(t, fw::win32::TemplateUse::Modal);
        dialog = CreateDialogIndirectParamW(GetModuleHandleW(nullptr),
                                            reinterpret_cast<LPCDLGTEMPLATEW>(bytes.data()),
                                            nullptr, &Procedure, reinterpret_cast<LPARAM>(this));
        ASSERT_NE(dialog, nullptr);
        ShowWindow(dialog, SW_SHOWNA);
    }
    void TearDown() override {
        window.AttachSite(nullptr);
        site.reset();
        DestroyWindow(dialog);
    }

    static INT_PTR CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_INITDIALOG) {
            SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
            auto* self = reinterpret_cast<Win32Controls*>(lParam);
            self->site =
                std::make_unique<fw::win32::CWin32WindowSite>(hwnd, hwnd, self->window, self->t);
            self->window.AttachSite(self->site.get());
            return TRUE;
        }
        auto* self = reinterpret_cast<Win32Controls*>(GetWindowLongPtrW(hwnd, DWLP_USER));
        if (self == nullptr || self->site == nullptr) {
            return FALSE;
        }
        if (INT_PTR brush = 0;
            message == WM_CTLCOLORSTATIC && self->site->ColourStatic(wParam, lParam, brush)) {
            return brush;
        }
        return message == WM_COMMAND && self->site->HandleMessage(message, wParam, lParam);
    }

    HWND Item(int id) const { return GetDlgItem(dialog, id); }
    LRESULT Checked(int id) const { return SendMessageW(Item(id), BM_GETCHECK, 0, 0); }
    std::wstring Text(int id) const {
        wchar_t text[64] = {};
        GetWindowTextW(Item(id), text, 64);
        return text;
    }
    // WM_CTLCOLORSTATIC as the static sends it while painting.
    HBRUSH Colour(HWND owner, HWND label, HDC dc) const {
        return reinterpret_cast<HBRUSH>(SendMessageW(owner, WM_CTLCOLORSTATIC,
                                                     reinterpret_cast<WPARAM>(dc),
                                                     reinterpret_cast<LPARAM>(label)));
    }

    const fw::DialogTemplate t = StationLikeTemplate();
    CommandWindow window;
    std::unique_ptr<fw::win32::CWin32WindowSite> site;
    HWND dialog = nullptr;
};

TEST_F(Win32Controls, TheTemplateMakesAutoRadioButtonsInGroupsAndAnEditableDropDown) {
    wchar_t cls[32] = {};
    GetClassNameW(Item(kJobSave), cls, 32);
    EXPECT_EQ(lstrcmpiW(cls, L"Button"), 0);
    EXPECT_EQ(GetWindowLongW(Item(kJobSave), GWL_STYLE) & BS_TYPEMASK, BS_AUTORADIOBUTTON);
    EXPECT_NE(GetWindowLongW(Item(kJobLoad), GWL_STYLE) & WS_GROUP, 0);
    EXPECT_EQ(GetWindowLongW(Item(kJobSave), GWL_STYLE) & WS_GROUP, 0);
    GetClassNameW(Item(kPorts), cls, 32);
    EXPECT_EQ(lstrcmpiW(cls, L"ComboBox"), 0);
    EXPECT_EQ(GetWindowLongW(Item(kPorts), GWL_STYLE) & 3, CBS_DROPDOWN);
    EXPECT_EQ(Text(kPorts), L"COM9");
}

TEST_F(Win32Controls, AClickedRadioUnchecksItsGroupAndReachesTheWindow) {
    SendMessageW(Item(kJobSave), BM_CLICK, 0, 0);
    SendMessageW(Item(kSpeedFast), BM_CLICK, 0, 0);
    SendMessageW(Item(kJobErase), BM_CLICK, 0, 0);
    EXPECT_EQ(Checked(kJobLoad), BST_UNCHECKED);
    EXPECT_EQ(Checked(kJobSave), BST_UNCHECKED);
    EXPECT_EQ(Checked(kJobErase), BST_CHECKED);
    EXPECT_EQ(Checked(kSpeedFast), BST_CHECKED);
    EXPECT_EQ(window.commands, (std::vector<fw::WPARAM>{kJobSave, kSpeedFast, kJobErase}));

    // The system checks one of a group without a word to the window.
    window.CheckDlgButton(kJobLoad, 1);
    EXPECT_EQ(Checked(kJobLoad), BST_CHECKED);
    EXPECT_EQ(Checked(kJobErase), BST_UNCHECKED);
    EXPECT_EQ(Checked(kSpeedFast), BST_CHECKED);
    EXPECT_EQ(window.IsDlgButtonChecked(kJobLoad), 1);
    window.CheckDlgButton(kJobLoad, 0);
    EXPECT_EQ(window.IsDlgButtonChecked(kJobLoad), 0);
    EXPECT_EQ(window.commands.size(), 3u);
}

TEST_F(Win32Controls, ChoosingAnItemSetsTheTextAndTellsTheWindowAsTypingDoes) {
    fw::CComboBox ports;
    ports.Bind(&window, kPorts);
    ports.SetItems({"COM1", "COM3", "COM12"});
    EXPECT_EQ(SendMessageW(Item(kPorts), CB_GETCOUNT, 0, 0), 3);
    EXPECT_EQ(Text(kPorts), L"COM9");
    EXPECT_TRUE(window.commands.empty());

    // The operator picks the second item with the keyboard.
    HWND edit = FindWindowExW(Item(kPorts), nullptr, L"Edit", nullptr);
    ASSERT_NE(edit, nullptr);
    SendMessageW(edit, WM_KEYDOWN, VK_DOWN, 0);
    SendMessageW(edit, WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_EQ(window.GetDlgItemBytes(kPorts), "COM3");
    ASSERT_FALSE(window.commands.empty());
    EXPECT_EQ(window.commands.back(), fw::MAKEWPARAM(kPorts, fw::CBN_SELCHANGE));

    window.commands.clear();
    SendMessageW(edit, EM_SETSEL, 0, -1);
    SendMessageW(edit, WM_CHAR, L'7', 0);
    EXPECT_EQ(window.GetDlgItemBytes(kPorts), "7");
    EXPECT_EQ(window.commands,
              (std::vector<fw::WPARAM>{fw::MAKEWPARAM(kPorts, fw::CBN_EDITCHANGE)}));

    // A new list keeps what the edit part shows.
    window.SetDlgItemBytes(kPorts, "COM5");
    ports.SetItems({"COM2"});
    EXPECT_EQ(SendMessageW(Item(kPorts), CB_GETCOUNT, 0, 0), 1);
    EXPECT_EQ(Text(kPorts), L"COM5");
    EXPECT_EQ(window.commands.size(), 1u);
}

TEST_F(Win32Controls, AStaticIsDrawnWithTheFontAndColoursOfItsLook) {
    fw::TextLook failed;
    failed.heightTwips = 480;
    failed.bold = true;
    failed.textRgb = 0xFFFFFF;
    failed.hasBackground = true;
    failed.backgroundRgb = 0xC00000;
    site->SetTextLook(kVerdict, failed);

    auto* font = reinterpret_cast<HFONT>(SendMessageW(Item(kVerdict), WM_GETFONT, 0, 0));
    LOGFONTW logFont{};
    ASSERT_EQ(GetObjectW(font, sizeof(logFont), &logFont), static_cast<int>(sizeof(logFont)));
    HDC dc = GetDC(Item(kVerdict));
    EXPECT_EQ(logFont.lfHeight, -MulDiv(480, GetDeviceCaps(dc, LOGPIXELSY), 1440));
    EXPECT_EQ(logFont.lfWeight, FW_BOLD);
    HBRUSH brush = Colour(dialog, Item(kVerdict), dc);
    ASSERT_NE(brush, nullptr);
    EXPECT_EQ(BrushColour(brush), RGB(0xC0, 0, 0));
    EXPECT_EQ(GetTextColor(dc), RGB(0xFF, 0xFF, 0xFF));
    EXPECT_EQ(GetBkColor(dc), RGB(0xC0, 0, 0));

    // Without a background of its own, the dialog's shows through.
    fw::TextLook plain;
    plain.textRgb = 0x008000;
    site->SetTextLook(kVerdict, plain);
    EXPECT_EQ(BrushColour(Colour(dialog, Item(kVerdict), dc)), GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(GetTextColor(dc), RGB(0, 0x80, 0));
    // Statics without a look keep the dialog's colours.
    EXPECT_NE(Colour(dialog, Item(kJobLoad), dc), brush);
    ReleaseDC(Item(kVerdict), dc);
}

TEST_F(Win32Controls, ChangingALookAThousandTimesLeavesNoGdiObjectsBehind) {
    const DWORD before = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    HDC dc = GetDC(Item(kVerdict));
    HGDIOBJ lastFont = nullptr;
    HGDIOBJ lastBrush = nullptr;
    int leftBehind = 0;
    for (int i = 0; i < 1000; ++i) {
        fw::TextLook look;
        look.heightTwips = 300 + i % 7 * 20;
        look.bold = i % 2 == 0;
        look.hasBackground = true;
        look.backgroundRgb = i % 2 == 0 ? 0x008000 : 0xC00000;
        site->SetTextLook(kVerdict, look);
        // What the control used before is gone (Wine counts no GUI
        // resources, so each handle is asked for too).
        leftBehind += lastFont != nullptr && GetObjectType(lastFont) != 0 ? 1 : 0;
        leftBehind += lastBrush != nullptr && GetObjectType(lastBrush) != 0 ? 1 : 0;
        lastFont = reinterpret_cast<HGDIOBJ>(SendMessageW(Item(kVerdict), WM_GETFONT, 0, 0));
        lastBrush = Colour(dialog, Item(kVerdict), dc);
        ASSERT_NE(GetObjectType(lastFont), 0u);
        ASSERT_NE(GetObjectType(lastBrush), 0u);
    }
    ReleaseDC(Item(kVerdict), dc);
    EXPECT_EQ(leftBehind, 0);
    const DWORD after = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    EXPECT_LE(after, before + 4);

    // The site takes the last look's font and brush with it.
    window.AttachSite(nullptr);
    site.reset();
    EXPECT_EQ(GetObjectType(lastFont), 0u);
    EXPECT_EQ(GetObjectType(lastBrush), 0u);
    EXPECT_NE(SendMessageW(Item(kVerdict), WM_GETFONT, 0, 0), reinterpret_cast<LRESULT>(lastFont));
}

// The form view's own dialog procedure hands WM_CTLCOLORSTATIC to its site.
class FormWindow : public fw::CFormView {
public:
    FormWindow() : CFormView(res::IDD_TIRVEL2_FORM) {}
    fw::LRESULT WindowProc(fw::UINT, fw::WPARAM, fw::LPARAM) override { return 0; }
};

TEST(Win32FormLook, TheFormColoursAStaticWithALook) {
    fw::SetLanguage(fw::Language::English);
    ASSERT_TRUE(fw::win32::InitWin32Controls());
    FormWindow view;
    fw::win32::CWin32FormView form(view, fw::Language::English, nullptr, 0);
    ASSERT_TRUE(form.IsCreated());
    const fw::DialogTemplate* t =
        res::FindDialogTemplate(res::IDD_TIRVEL2_FORM, fw::Language::English);
    ASSERT_NE(t, nullptr);
    int label = -1;
    for (const auto& c : t->controls) {
        if (c.kind == ControlKind::Static && c.id != -1) {
            label = c.id;
            break;
        }
    }
    ASSERT_NE(label, -1);
    fw::TextLook ok;
    ok.textRgb = 0xFFFFFF;
    ok.hasBackground = true;
    ok.backgroundRgb = 0x008000;
    view.Site()->SetTextLook(label, ok);
    HDC dc = GetDC(form.Control(label));
    auto* brush = reinterpret_cast<HBRUSH>(
        SendMessageW(form.FormHwnd(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                     reinterpret_cast<LPARAM>(form.Control(label))));
    EXPECT_EQ(BrushColour(brush), RGB(0, 0x80, 0));
    EXPECT_EQ(GetTextColor(dc), RGB(0xFF, 0xFF, 0xFF));
    ReleaseDC(form.Control(label), dc);
}

}  // namespace
