#pragma once

#include "common/DialogTemplate.h"
#include "common/LanguageId.h"

namespace res {

fw::DialogTemplate BuildPasswordDialog(fw::Language language);
fw::DialogTemplate BuildSettingsDialog(fw::Language language);
fw::DialogTemplate BuildTransferDialog(fw::Language language);

}  // namespace res
