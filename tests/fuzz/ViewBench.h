// The form view in a headless window, built once per fuzzing process and put
// back into the state of a fresh connection before each input.
#pragma once

#include <string>

#include "form/ControlIds.h"
#include "form/Tirvel2View.h"
#include "framework/HeadlessWindow.h"
#include "framework/Language.h"
#include "framework/MessageLoop.h"
#include "res/ResourceIds.h"

namespace fuzzsupport {

struct ViewBench {
    ViewBench() { fw::SetLanguage(fw::Language::English); }

    // Placeholder labels, empty values, no ticks, rows hidden, no items.
    void Reset() {
        view.ResetItemLabels();
        for (int n = 1; n <= CTirvel2View::kItemRows; ++n) {
            view.SetItemCurrentValue(n, std::string());
            view.SetItemNewValue(n, std::string());
            view.SetItemModify(n, 0);
        }
        view.ShowItemRows(fw::SW_HIDE);
        view.UpdateData(false);
        window.ClearMessageBoxes();
    }

    static std::string Placeholder(int n) {
        return std::to_string(n) + ". Item" + std::to_string(n);
    }

    fw::CMessageLoop loop;
    CTirvel2View view;
    fw::CHeadlessWindow window{loop, view, res::IDD_TIRVEL2_FORM, fw::Language::English};
};

inline ViewBench& Bench() {
    static ViewBench bench;
    return bench;
}

}  // namespace fuzzsupport
