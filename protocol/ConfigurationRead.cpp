// Reading the device's parameter list into the form's item table.
#include <algorithm>
#include <cstring>

#include "common/Win.h"
#include "form/ControlIds.h"
#include "form/Tirvel2View.h"
#include "protocol/AtExchange.h"
#include "protocol/ConfigurationListing.h"
#include "res/ResourceIds.h"

static_assert(CTirvel2View::kItemRows == kListedItemRows);

namespace {
constexpr int kListingAttempts = 2;
}

bool CTirvel2View::ReadDeviceConfiguration() {
    char reply[2048];
    // A listing of no items is no listing (a device always has items): its
    // "OK" was a line the device sent of its own, so it is asked once more.
    bool listed = false;
    for (int attempt = 0; attempt < kListingAttempts && !listed; ++attempt) {
        if (QueryAtCommand(m_hComPort, "AT+GETDV=0\r", reply, sizeof reply, kShortReplyLimit) < 0) {
            break;
        }
        listed = !ParseListing(reply).empty();
    }
    if (!listed) {
        CloseComPort(m_hComPort);
        m_hComPort = INVALID_HANDLE_VALUE;
        AfxMessageBox(res::IDS_READ_CONFIG_FAILED);
        return false;
    }
    // Text after the last line end is not a complete line and is left alone.
    char* line = reply;
    while (char* end = std::strstr(line, "\r\n")) {
        *end = '\0';
        ParseConfigurationLine(line);
        line = end + 2;
    }
    UpdateData(false);
    return true;
}

void CTirvel2View::ParseConfigurationLine(char* line) {
    const std::optional<ListedItem> item = ParseListingLine(line);
    if (!item) {
        return;
    }
    SetItemLabel(item->number, item->name);
    SetItemCurrentValue(item->number, item->value);
    SetItemListed(item->number);
    for (int id : ItemRowControls(item->number)) {
        ShowDlgItem(id, fw::SW_SHOW);
    }
    // The highest item listed since Start: a device that lists its items in
    // another order still has them all, and every loop over the items (Modify,
    // Export, the automatic tick) must reach each of them.
    g_nItemCount = std::max(g_nItemCount, item->number);
}
