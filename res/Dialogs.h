#pragma once

#include "common/DialogTemplate.h"
#include "common/LanguageId.h"

namespace res {

// The template of a dialog in one language, or nullptr when there is none.
const fw::DialogTemplate* FindDialogTemplate(fw::UINT id, fw::Language language);

// Row N's vertical position in template 101 (dialog units), N = 1..60.
int FormRowTop(int itemNumber, fw::Language language);

}  // namespace res
