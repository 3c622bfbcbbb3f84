#include "res/Dialogs.h"

#include "res/AboutDialog.h"
#include "res/Form101.h"
#include "res/ResourceIds.h"
#include "res/SmallDialogs.h"
#include "res/StationForm.h"
#include "res/StationIds.h"

namespace res {

const fw::DialogTemplate* FindDialogTemplate(fw::UINT id, fw::Language language) {
    // Built once per language on first use; templates are immutable afterwards.
    using fw::Language;
    static const fw::DialogTemplate form101[2] = {BuildForm101(Language::English),
                                                  BuildForm101(Language::Chinese)};
    static const fw::DialogTemplate password137[2] = {BuildPasswordDialog(Language::English),
                                                      BuildPasswordDialog(Language::Chinese)};
    static const fw::DialogTemplate settings132[2] = {BuildSettingsDialog(Language::English),
                                                      BuildSettingsDialog(Language::Chinese)};
    static const fw::DialogTemplate transfer133[2] = {BuildTransferDialog(Language::English),
                                                      BuildTransferDialog(Language::Chinese)};
    static const fw::DialogTemplate about100[2] = {BuildAboutDialog(Language::English),
                                                   BuildAboutDialog(Language::Chinese)};
    static const fw::DialogTemplate station150[2] = {BuildStationForm(Language::English),
                                                     BuildStationForm(Language::Chinese)};
    const int index = language == Language::Chinese ? 1 : 0;
    switch (id) {
        case IDD_ABOUTBOX:
            return &about100[index];
        case IDD_TIRVEL2_FORM:
            return &form101[index];
        case IDD_PASSWORD:
            return &password137[index];
        case IDD_SETTINGS:
            return &settings132[index];
        case IDD_TRANSFER:
            return &transfer133[index];
        case IDD_STATION_FORM:
            return &station150[index];
        default:
            return nullptr;
    }
}

}  // namespace res
