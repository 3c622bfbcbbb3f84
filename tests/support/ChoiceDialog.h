// A small dialog with what a station tile shows: a verdict, two radio groups
// around a drop-down list, and a password. Each host's site is driven through
// it alike.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "common/DialogTemplate.h"
#include "framework/Wnd.h"

namespace testsupport::choice {

constexpr int kVerdict = 10;
constexpr int kJobLoad = 11;
constexpr int kJobSave = 12;
constexpr int kJobErase = 13;
constexpr int kPorts = 14;
constexpr int kSpeedFast = 15;
constexpr int kSecret = 16;

inline fw::DialogTemplate ChoiceDialog() {
    using fw::ControlKind;
    fw::DialogTemplate t;
    t.fontFace = "MS Shell Dlg";
    t.fontPoints = 8;
    t.width = 200;
    t.height = 80;
    t.controls = {
        {kVerdict, ControlKind::Static, 0, {5, 5, 60, 20}, "--"},
        {kJobLoad, ControlKind::RadioButton, fw::kGroup | fw::kTabStop, {5, 30, 50, 10}, "Load"},
        {kJobSave, ControlKind::RadioButton, 0, {5, 42, 50, 10}, "Save"},
        {kJobErase, ControlKind::RadioButton, 0, {5, 54, 50, 10}, "Erase"},
        {kPorts, ControlKind::ComboBox, fw::kGroup | fw::kTabStop, {70, 30, 60, 80}, "COM9"},
        {kSpeedFast, ControlKind::RadioButton, fw::kGroup, {140, 30, 50, 10}, "Fast"},
        {kSecret,
         ControlKind::Edit,
         fw::kBorder | fw::kTabStop | fw::kPassword,
         {5, 66, 60, 12},
         ""},
    };
    return t;
}

// Each command, with the drop-down's text as its handler reads it.
class CommandLog : public fw::CWnd {
public:
    fw::LRESULT WindowProc(fw::UINT message, fw::WPARAM wParam, fw::LPARAM) override {
        if (message == fw::WM_COMMAND) {
            commands.push_back(wParam);
            portText.push_back(GetDlgItemBytes(kPorts));
            if (onCommand) {
                onCommand(wParam);
            }
        }
        return 0;
    }
    std::vector<fw::WPARAM> commands;
    std::vector<std::string> portText;
    std::function<void(fw::WPARAM)> onCommand;
};

// The list of kPorts filled while it drops down, as the station window fills
// its ports.
inline void FillPortsOnDropDown(CommandLog& window, std::vector<std::string> items) {
    window.onCommand = [&window, items](fw::WPARAM wParam) {
        if (wParam == fw::MAKEWPARAM(kPorts, fw::CBN_DROPDOWN)) {
            window.Site()->SetControlItems(kPorts, items);
        }
    };
}

// The system's checks of kJobLoad, after the window has heard what it heard:
// the others of its group go off, it can be unchecked again, and the window
// hears nothing of either.
inline ::testing::AssertionResult SystemChecksAreSilent(CommandLog& window) {
    const std::size_t heard = window.commands.size();
    window.CheckDlgButton(kJobLoad, 1);
    if (window.IsDlgButtonChecked(kJobLoad) != 1 || window.IsDlgButtonChecked(kJobSave) != 0 ||
        window.IsDlgButtonChecked(kJobErase) != 0) {
        return ::testing::AssertionFailure() << "kJobLoad is not checked alone in its group";
    }
    window.CheckDlgButton(kJobLoad, 0);
    if (window.IsDlgButtonChecked(kJobLoad) != 0) {
        return ::testing::AssertionFailure() << "kJobLoad stays checked";
    }
    if (window.commands.size() != heard) {
        return ::testing::AssertionFailure() << "the window heard of the system's checks";
    }
    return ::testing::AssertionSuccess();
}

// "FAILED": large white letters on red.
inline fw::TextLook FailedLook() {
    return {480, true, 0xFFFFFF, true, 0xC00000};
}

}  // namespace testsupport::choice
