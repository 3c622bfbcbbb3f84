#pragma once

#include "common/DialogTemplate.h"
#include "common/LanguageId.h"

namespace res {

// The station window's form: the job above, the tiles (or the compact table)
// below.
fw::DialogTemplate BuildStationForm(fw::Language language);

}  // namespace res
