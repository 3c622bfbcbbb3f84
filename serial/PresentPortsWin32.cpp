// Windows lists each serial port's COM name as a value of SERIALCOMM, named
// after its driver's device ("\Device\Serial0" = "COM1"); under Wine the key
// holds the ports Wine made for the prefix at start-up.
#include <algorithm>

#include "common/LeanWindows.h"
#include "common/Utf16Win32.h"
#include "serial/PresentPorts.h"

namespace serial {

std::vector<PresentPort> ListPresentPorts(const SerialCommKey& key) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(key.currentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE,
                      ToWide(key.subkey).c_str(), 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS) {
        return {};
    }
    std::vector<std::string> names;
    for (DWORD index = 0;; ++index) {
        // Value names are device paths and data COM names; both are short.
        wchar_t valueName[256];
        DWORD nameLength = 256;
        wchar_t data[64] = {};
        DWORD dataBytes = sizeof(data) - sizeof(wchar_t);
        DWORD type = 0;
        const LSTATUS status = RegEnumValueW(opened, index, valueName, &nameLength, nullptr, &type,
                                             reinterpret_cast<BYTE*>(data), &dataBytes);
        if (status == ERROR_NO_MORE_ITEMS) {
            break;
        }
        if (status == ERROR_SUCCESS && type == REG_SZ) {
            std::wstring text(data, dataBytes / sizeof(wchar_t));
            text.erase(std::find(text.begin(), text.end(), L'\0'), text.end());
            names.push_back(ToUtf8(text));
        }
    }
    RegCloseKey(opened);
    return PortsFromComNames(names);
}

}  // namespace serial
