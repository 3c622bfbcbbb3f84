// The Win32 site's radio groups, drop-down list, password and static looks
// with real windows, read back with the system's own calls.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "ChoiceDialog.h"
#include "framework/ComboBox.h"
#include "framework/win32/Win32DialogTemplate.h"
#include "framework/win32/Win32Host.h"
#include "framework/win32/Win32WindowSite.h"

namespace {

using namespace testsupport::choice;
using Commands = std::vector<fw::WPARAM>;

COLORREF BrushColour(HGDIOBJ brush) {
    LOGBRUSH logBrush{};
    GetObjectW(brush, sizeof(logBrush), &logBrush);
    return logBrush.lbColor;
}

// The dialog answers as the desktop's dialog procedures do.
class Win32Controls : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(fw::win32::InitWin32Controls());
        const auto bytes = fw::win32::BuildDialogTemplateEx(t, fw::win32::TemplateUse::Modal);
        dialog =
            CreateDialogIndirectParamW(nullptr, reinterpret_cast<LPCDLGTEMPLATEW>(bytes.data()),
                                       nullptr, &Procedure, reinterpret_cast<LPARAM>(this));
        ASSERT_NE(dialog, nullptr);
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
        INT_PTR brush = 0;
        if (self == nullptr || self->site == nullptr) {
            return FALSE;
        }
        if (message == WM_CTLCOLORSTATIC && self->site->ColourStatic(wParam, lParam, brush)) {
            return brush;
        }
        return message == WM_COMMAND && self->site->HandleMessage(message, wParam, lParam);
    }
    HWND Item(int id) const { return GetDlgItem(dialog, id); }
    LRESULT Checked(int id) const { return SendMessageW(Item(id), BM_GETCHECK, 0, 0); }
    // The colours the verdict is painted in, as its WM_CTLCOLORSTATIC gives them.
    HGDIOBJ Paint(COLORREF& text, COLORREF& background) const {
        HDC dc = GetDC(Item(kVerdict));
        const LRESULT brush = SendMessageW(dialog, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                           reinterpret_cast<LPARAM>(Item(kVerdict)));
        text = GetTextColor(dc);
        background = GetBkColor(dc);
        ReleaseDC(Item(kVerdict), dc);
        return reinterpret_cast<HGDIOBJ>(brush);
    }

    const fw::DialogTemplate t = ChoiceDialog();
    CommandLog window;
    std::unique_ptr<fw::win32::CWin32WindowSite> site;
    HWND dialog = nullptr;
};

TEST_F(Win32Controls, ARadioIsCheckedAloneInItsGroupAndAClickReachesTheWindow) {
    EXPECT_EQ(GetWindowLongW(Item(kJobSave), GWL_STYLE) & BS_TYPEMASK, BS_AUTORADIOBUTTON);
    EXPECT_NE(GetWindowLongW(Item(kSpeedFast), GWL_STYLE) & WS_GROUP, 0);
    for (int id : {kJobSave, kSpeedFast, kJobErase}) {
        SendMessageW(Item(id), BM_CLICK, 0, 0);
    }
    EXPECT_EQ(Checked(kJobSave), BST_UNCHECKED);
    EXPECT_EQ(Checked(kJobErase), BST_CHECKED);
    EXPECT_EQ(Checked(kSpeedFast), BST_CHECKED);
    EXPECT_EQ(window.commands, (Commands{kJobSave, kSpeedFast, kJobErase}));
    EXPECT_TRUE(SystemChecksAreSilent(window));
}

TEST_F(Win32Controls, ChoosingAnItemSetsTheTextAndTellsTheWindowAsTypingDoes) {
    EXPECT_EQ(GetWindowLongW(Item(kPorts), GWL_STYLE) & 3, CBS_DROPDOWN);
    fw::CComboBox ports;
    ports.Bind(&window, kPorts);
    ports.SetItems({"COM1", "COM3"});
    EXPECT_EQ(SendMessageW(Item(kPorts), CB_GETCOUNT, 0, 0), 2);
    EXPECT_EQ(site->GetControlText(kPorts), "COM9");
    HWND edit = FindWindowExW(Item(kPorts), nullptr, L"Edit", nullptr);
    SendMessageW(edit, WM_KEYDOWN, VK_DOWN, 0);
    SendMessageW(edit, WM_KEYDOWN, VK_DOWN, 0);
    SendMessageW(edit, WM_CHAR, L'4', 0);
    const auto chosen = fw::MAKEWPARAM(kPorts, fw::CBN_SELCHANGE);
    EXPECT_EQ(window.commands,
              (Commands{chosen, chosen, fw::MAKEWPARAM(kPorts, fw::CBN_EDITCHANGE)}));
    // Each handler read the chosen item already, not the text before it.
    ASSERT_EQ(window.portText.size(), 3u);
    EXPECT_EQ(window.portText[1], "COM3");
    wchar_t shown[16] = {};
    GetWindowTextW(Item(kPorts), shown, 16);
    EXPECT_EQ(window.portText[2], fw::win32::Narrow(shown));
}

TEST_F(Win32Controls, TheWindowFillsTheListAsItDropsDown) {
    FillPortsOnDropDown(window, {"COM2", "COM10"});
    SendMessageW(Item(kPorts), CB_SHOWDROPDOWN, TRUE, 0);
    EXPECT_EQ(window.commands, (Commands{fw::MAKEWPARAM(kPorts, fw::CBN_DROPDOWN)}));
    EXPECT_EQ(SendMessageW(Item(kPorts), CB_GETCOUNT, 0, 0), 2);
    EXPECT_EQ(site->GetControlText(kPorts), "COM9");
    SendMessageW(Item(kPorts), CB_SHOWDROPDOWN, FALSE, 0);
    // Text the system sets is no typing.
    site->SetControlText(kPorts, "COM2,COM10");
    EXPECT_EQ(window.commands.size(), 1u);
}

TEST_F(Win32Controls, APasswordShowsNoneOfWhatIsTyped) {
    HWND edit = Item(kSecret);
    EXPECT_NE(GetWindowLongW(edit, GWL_STYLE) & ES_PASSWORD, 0);
    EXPECT_NE(SendMessageW(edit, EM_GETPASSWORDCHAR, 0, 0), 0);
    for (wchar_t c : std::wstring(L"s3cret")) {
        SendMessageW(edit, WM_CHAR, c, 0);
    }
    EXPECT_EQ(window.GetDlgItemBytes(kSecret), "s3cret");
}

TEST_F(Win32Controls, AStaticIsDrawnWithTheFontAndColoursOfItsLook) {
    site->SetTextLook(kVerdict, FailedLook());
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HGDIOBJ>(SendMessageW(Item(kVerdict), WM_GETFONT, 0, 0)),
               sizeof(font), &font);
    HDC screen = GetDC(nullptr);
    EXPECT_EQ(font.lfHeight, -MulDiv(480, GetDeviceCaps(screen, LOGPIXELSY), 1440));
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(font.lfWeight, FW_BOLD);
    COLORREF text = 0;
    COLORREF background = 0;
    EXPECT_EQ(BrushColour(Paint(text, background)), RGB(0xC0, 0, 0));
    EXPECT_EQ(text, RGB(0xFF, 0xFF, 0xFF));
    EXPECT_EQ(background, RGB(0xC0, 0, 0));
}

TEST_F(Win32Controls, ChangingALookAThousandTimesLeavesNoGdiObjectsBehind) {
    const DWORD before = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    HGDIOBJ font = nullptr;
    HGDIOBJ brush = nullptr;
    int leftBehind = 0;
    COLORREF text = 0;
    COLORREF background = 0;
    for (int i = 0; i < 1000; ++i) {
        site->SetTextLook(kVerdict, {300 + i % 7 * 20, i % 2 == 0, 0, true, 0x10000u * (i % 256)});
        // Wine counts no GUI resources: each replaced handle is asked too.
        leftBehind += font != nullptr && GetObjectType(font) != 0 ? 1 : 0;
        leftBehind += brush != nullptr && GetObjectType(brush) != 0 ? 1 : 0;
        font = reinterpret_cast<HGDIOBJ>(SendMessageW(Item(kVerdict), WM_GETFONT, 0, 0));
        brush = Paint(text, background);
    }
    EXPECT_EQ(leftBehind, 0);
    EXPECT_LE(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), before + 4);
    // The site takes the last ones with it, giving the static its old font.
    window.AttachSite(nullptr);
    site.reset();
    EXPECT_EQ(GetObjectType(font) + GetObjectType(brush), 0u);
    EXPECT_NE(SendMessageW(Item(kVerdict), WM_GETFONT, 0, 0), reinterpret_cast<LRESULT>(font));
}

}  // namespace
