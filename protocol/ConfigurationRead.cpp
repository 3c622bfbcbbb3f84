// Reading the device's parameter list into the form's item table.
#include <cctype>
#include <climits>
#include <cstring>

#include "form/ControlIds.h"
#include "form/Tirvel2View.h"
#include "framework/Win.h"
#include "protocol/AtExchange.h"
#include "res/ResourceIds.h"

namespace {

// The item number the way atoi reads it (leading blanks and a sign allowed,
// stops at the first non-digit, no digits give 0), but without atoi's undefined
// behaviour on numbers too large for an int: those saturate.
int ParseItemNumber(const char* text) {
    while (std::isspace(static_cast<unsigned char>(*text))) {
        ++text;
    }
    bool negative = false;
    if (*text == '+' || *text == '-') {
        negative = *text == '-';
        ++text;
    }
    long long value = 0;
    while (std::isdigit(static_cast<unsigned char>(*text))) {
        value = value * 10 + (*text - '0');
        if (value > INT_MAX) {
            value = INT_MAX;
        }
        ++text;
    }
    return static_cast<int>(negative ? -value : value);
}

}  // namespace

bool CTirvel2View::ReadDeviceConfiguration() {
    char reply[2048];
    if (QueryAtCommand(m_hComPort, "AT+GETDV=0\r", reply, sizeof reply, kShortReplyLimit) < 0) {
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
    char* firstComma = std::strchr(line, ',');
    if (firstComma == nullptr) {
        return;  // the echo, blank lines and the final "OK"
    }
    *firstComma = '\0';
    const int n = ParseItemNumber(line);
    if (n < 1) {
        return;
    }
    char* secondComma = std::strchr(firstComma + 1, ',');
    if (secondComma == nullptr) {
        return;
    }
    *secondComma = '\0';
    // The form has no row above 60: such a line is ignored, so it can neither
    // touch a slot nor raise the item count beyond the table.
    if (n > kItemRows) {
        return;
    }
    SetItemLabel(n, firstComma + 1);
    SetItemCurrentValue(n, secondComma + 1);
    for (int id : ItemRowControls(n)) {
        ShowDlgItem(id, fw::SW_SHOW);
    }
    g_nItemCount = n;
}
