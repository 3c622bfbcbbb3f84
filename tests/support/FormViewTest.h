// The view on its form in a scripted window, in English, with scripted dialogs
// and a scratch folder: the base of the cases that click the form's own
// buttons. Whatever they change for the whole process is put back after them.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "LanguageForTheTest.h"
#include "ProgramStateTest.h"
#include "ScriptedDialogs.h"
#include "ScriptedWindow.h"
#include "TempDir.h"
#include "form/ControlIds.h"
#include "form/Tirvel2View.h"
#include "protocol/AtExchange.h"

namespace testsupport {

class FormViewTest : public ProgramStateTest {
protected:
    // Items 1-3 as a device lists them: Mode=1, Server=10.0.0.1, Port=5000.
    void LoadExampleTable() {
        const char* rows[][2] = {{"Mode", "1"}, {"Server", "10.0.0.1"}, {"Port", "5000"}};
        for (int n = 1; n <= 3; ++n) {
            view_.SetItemLabel(n, rows[n - 1][0]);
            view_.SetItemCurrentValue(n, rows[n - 1][1]);
            view_.SetItemListed(n);
        }
        g_nItemCount = 3;
        view_.UpdateData(false);
    }

    // Every row as the members and the window hold it: label, current value,
    // new value, the new value shown and the tick.
    std::vector<std::string> Table() const {
        std::vector<std::string> rows;
        for (int n = 1; n <= CTirvel2View::kItemRows; ++n) {
            rows.push_back(view_.GetItemLabel(n) + "|" + view_.GetItemCurrentValue(n) + "|" +
                           view_.GetItemNewValue(n) + "|" + window_.Text(ItemNewId(n)) + "|" +
                           std::to_string(window_.Check(ItemModifyId(n))));
        }
        return rows;
    }

    EnglishForTheTest english_;
    fw::CMessageLoop loop_;
    CTirvel2View view_;
    ScriptedWindow window_{loop_, view_, res::IDD_TIRVEL2_FORM};
    ScriptedDialogs dialogs_{loop_};
    TempDir dir_;
};

}  // namespace testsupport
