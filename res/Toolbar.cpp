#include "res/Toolbar.h"

#include "res/ResourceIds.h"

namespace res {
namespace {

constexpr ToolbarItem kMainItems[] = {
    {ID_START_CONFIG, 61446},    {ID_STOP_CONFIG, 61447},     {ID_MODIFY, 61448},
    {ID_RESTORE, 61451},         {ID_SEPARATOR, 0},           {ID_UPDATE_FIRMWARE, 61467},
    {ID_SELECT_FIRMWARE, 61468}, {ID_SHOW_DEBUG_INFO, 61474}, {ID_SETTINGS, 61450},
    {ID_APP_ABOUT, 61462},       {ID_APP_EXIT, 61449},
};

constexpr ToolbarResource kMainToolbar{IDR_MAINFRAME, 48, 48, kMainItems};

}  // namespace

const ToolbarResource* FindToolbar(fw::UINT id) {
    return id == IDR_MAINFRAME ? &kMainToolbar : nullptr;
}

}  // namespace res
