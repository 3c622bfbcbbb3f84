// A dialog template as Windows itself reads one: DLGTEMPLATEEX with its DLGITEMTEMPLATEEX entries,
// built in memory from the template data in res/, so that dialog units come from the template's
// font as on any dialog.
#pragma once

#include "framework/win32/Win32Api.h"

#include <vector>

#include "common/DialogTemplate.h"

namespace fw::win32 {

enum class TemplateUse {
    Modal,  // a popup with caption, system menu and modal frame
    Child,  // a modeless child (the form inside the view's scrolling window)
};

// DWORD-aligned bytes to hand to CreateDialogIndirectParamW or
// DialogBoxIndirectParamW.
std::vector<DWORD> BuildDialogTemplateEx(const DialogTemplate& dialogTemplate, TemplateUse use);

}  // namespace fw::win32
