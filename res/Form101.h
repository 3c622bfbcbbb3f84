#pragma once

#include "common/DialogTemplate.h"
#include "common/LanguageId.h"

namespace res {

fw::DialogTemplate BuildForm101(fw::Language language);

}  // namespace res
