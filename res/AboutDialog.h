#pragma once

#include "common/DialogTemplate.h"
#include "common/LanguageId.h"

namespace res {

// Template 100, the About box: icon 128, title, the notice line (1003) naming
// this build's version, the copyright dates and OK.
fw::DialogTemplate BuildAboutDialog(fw::Language language);

}  // namespace res
