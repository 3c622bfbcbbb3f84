#pragma once

#include "framework/DialogTemplate.h"
#include "framework/Language.h"

namespace res {

fw::DialogTemplate BuildForm101(fw::Language language);

}  // namespace res
