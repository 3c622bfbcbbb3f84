#include "res/Accelerators.h"

#include "res/ResourceIds.h"

namespace res {
namespace {

constexpr Accelerator kMainAccelerators[] = {
    {FCONTROL, 'N', ID_FILE_NEW},   {FCONTROL, 'O', ID_FILE_OPEN},
    {FCONTROL, 'S', ID_FILE_SAVE},  {FCONTROL, 'P', ID_FILE_PRINT},
    {FCONTROL, 'Z', ID_EDIT_UNDO},  {FALT, VK_BACK, ID_EDIT_UNDO},
    {FCONTROL, 'X', ID_EDIT_CUT},   {FSHIFT, VK_DELETE, ID_EDIT_CUT},
    {FCONTROL, 'C', ID_EDIT_COPY},  {FCONTROL, VK_INSERT, ID_EDIT_COPY},
    {FCONTROL, 'V', ID_EDIT_PASTE}, {FSHIFT, VK_INSERT, ID_EDIT_PASTE},
    {0, VK_F6, ID_NEXT_PANE},       {FSHIFT, VK_F6, ID_PREV_PANE},
};

}  // namespace

std::span<const Accelerator> FindAccelerators(fw::UINT id) {
    if (id == IDR_MAINFRAME) {
        return kMainAccelerators;
    }
    return {};
}

}  // namespace res
