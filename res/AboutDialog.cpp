#include "res/AboutDialog.h"

#include <string>

#include "res/NewTemplate.h"
#include "res/ResourceIds.h"

#ifndef TIRVEL_VERSION
#error "TIRVEL_VERSION comes from the CMake project"
#endif

namespace res {

fw::DialogTemplate BuildAboutDialog(fw::Language language) {
    using fw::ControlKind;
    const bool zh = language == fw::Language::Chinese;
    const std::string version = TIRVEL_VERSION;

    // A caption makes it a popup with caption, system menu and modal frame.
    fw::DialogTemplate t =
        NewTemplate(IDD_ABOUTBOX, language, "About Kavrel Batch Configuration Software",
                    "关于 DTU批量配置软件", 262, 78);
    // An icon control's caption names the icon resource, as in a resource script.
    t.controls.push_back(
        {-1, ControlKind::Icon, 0, {14, 14, 21, 20}, std::to_string(IDR_MAINFRAME)});
    t.controls.push_back(
        {-1,
         ControlKind::Static,
         fw::kLeft,
         {44, 12, 210, 8},
         zh ? "DTU批量配置软件 2.9 版" : "Kavrel Batch Configuration Software V2.9"});
    t.controls.push_back({IDC_ABOUT_NOTICE,
                          ControlKind::Static,
                          fw::kLeft,
                          {44, 25, 210, 8},
                          zh ? "Tirvel " + version + " — 由源代码构建，用于 Kavrel DTU"
                             : "Tirvel " + version + " — built from source; for Kavrel DTUs"});
    t.controls.push_back({-1,
                          ControlKind::Static,
                          fw::kLeft,
                          {44, 38, 210, 8},
                          zh ? "2011-2022（2022/11/09）" : "2011-2022(2022/11/09)"});
    t.controls.push_back({fw::IDOK,
                          ControlKind::PushButton,
                          fw::kDefaultButton | fw::kTabStop | fw::kGroup,
                          {205, 57, 50, 14},
                          zh ? "确定" : "OK"});
    return t;
}

}  // namespace res
