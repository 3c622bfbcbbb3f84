#include "app/win32/RegistryStationJobStore.h"

#include "app/win32/RegistryValues.h"
#include "framework/win32/Win32Host.h"

namespace app::win32 {

CStationView::JobForm CRegistryStationJobStore::Load() {
    CStationView::JobForm form;
    HKEY section = nullptr;
    const std::wstring path = key_ + L"\\" + kStationSection;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &section) != ERROR_SUCCESS) {
        return form;
    }
    const auto value = [section](const wchar_t* name) {
        return fw::win32::Narrow(ReadRegistryString(section, name));
    };
    form.job = value(L"Job") == "update" ? CStationView::Job::Update : CStationView::Job::Configure;
    form.file = value(L"File");
    form.ports = value(L"Ports");
    form.count = value(L"Count");
    form.reportFolder = value(L"ReportFolder");
    form.records = value(L"Records");
    form.values = value(L"Values");
    form.pool = value(L"Pool");
    RegCloseKey(section);
    return form;
}

void CRegistryStationJobStore::Save(const CStationView::JobForm& form) {
    HKEY section = nullptr;
    const std::wstring path = key_ + L"\\" + kStationSection;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                        &section, nullptr) != ERROR_SUCCESS) {
        return;
    }
    const auto value = [section](const wchar_t* name, const std::string& text) {
        WriteRegistryString(section, name, fw::win32::Widen(text));
    };
    value(L"Job", form.job == CStationView::Job::Update ? "update" : "configure");
    value(L"File", form.file);
    value(L"Ports", form.ports);
    value(L"Count", form.count);
    value(L"ReportFolder", form.reportFolder);
    value(L"Records", form.records);
    value(L"Values", form.values);
    value(L"Pool", form.pool);
    RegCloseKey(section);
}

}  // namespace app::win32
