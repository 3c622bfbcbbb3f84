#include "res/Dialogs.h"

#include <array>

#include "res/AboutDialog.h"
#include "res/Form101.h"
#include "res/ResourceIds.h"
#include "res/SmallDialogs.h"
#include "res/StationForm.h"
#include "res/StationIds.h"

namespace res {

namespace {

struct DialogBuilder {
    fw::UINT id;
    fw::DialogTemplate (*build)(fw::Language);
};

constexpr std::array kBuilders{
    DialogBuilder{IDD_ABOUTBOX, BuildAboutDialog},
    DialogBuilder{IDD_TIRVEL2_FORM, BuildForm101},
    DialogBuilder{IDD_PASSWORD, BuildPasswordDialog},
    DialogBuilder{IDD_SETTINGS, BuildSettingsDialog},
    DialogBuilder{IDD_TRANSFER, BuildTransferDialog},
    DialogBuilder{IDD_STATION_FORM, BuildStationForm},
};

using Built = std::array<std::array<fw::DialogTemplate, 2>, kBuilders.size()>;

Built BuildAll() {
    Built built;
    for (std::size_t i = 0; i < kBuilders.size(); ++i) {
        built[i] = {kBuilders[i].build(fw::Language::English),
                    kBuilders[i].build(fw::Language::Chinese)};
    }
    return built;
}

}  // namespace

const fw::DialogTemplate* FindDialogTemplate(fw::UINT id, fw::Language language) {
    // Built once on first use; templates are immutable afterwards.
    static const Built built = BuildAll();
    for (std::size_t i = 0; i < kBuilders.size(); ++i) {
        if (kBuilders[i].id == id) {
            return &built[i][language == fw::Language::Chinese ? 1 : 0];
        }
    }
    return nullptr;
}

}  // namespace res
