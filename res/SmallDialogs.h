#pragma once

#include "framework/DialogTemplate.h"
#include "framework/Language.h"

namespace res {

fw::DialogTemplate BuildPasswordDialog(fw::Language language);
fw::DialogTemplate BuildSettingsDialog(fw::Language language);
fw::DialogTemplate BuildTransferDialog(fw::Language language);

}  // namespace res
