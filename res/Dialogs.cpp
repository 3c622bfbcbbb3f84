#include "res/Dialogs.h"

#include "res/Form101.h"
#include "res/ResourceIds.h"

namespace res {

const fw::DialogTemplate* FindDialogTemplate(fw::UINT id, fw::Language language) {
    // Built once per language on first use; templates are immutable afterwards.
    static const fw::DialogTemplate form101[2] = {BuildForm101(fw::Language::English),
                                                  BuildForm101(fw::Language::Chinese)};
    const int index = language == fw::Language::Chinese ? 1 : 0;
    if (id == IDD_TIRVEL2_FORM) {
        return &form101[index];
    }
    return nullptr;
}

}  // namespace res
