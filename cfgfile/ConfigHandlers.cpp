// Export, Import, Template and Clear: the four buttons that act on the item
// table as a whole, and with it the preset flag that turns the next reads into
// batch mode.
#include <algorithm>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "cfgfile/ConfigFile.h"
#include "cfgfile/FileIo.h"
#include "cfgfile/InputFile.h"
#include "cfgfile/OutputFile.h"
#include "cfgfile/Preset.h"
#include "form/Tirvel2View.h"
#include "framework/Dialog.h"
#include "protocol/AtExchange.h"
#include "res/ResourceIds.h"

namespace {

fw::FileDialogRequest ConfigFileRequest(bool save, fw::CWnd* parent) {
    fw::FileDialogRequest request;
    request.save = save;
    request.defaultExt = "txt";
    request.fileName = "cfg";
    request.flags = save ? fw::OFN_HIDEREADONLY | fw::OFN_OVERWRITEPROMPT | fw::OFN_FILEMUSTEXIST
                         : fw::OFN_HIDEREADONLY | fw::OFN_FILEMUSTEXIST;
    // The same in both languages, as the original resources have it.
    request.filter = "文件类型(*.txt)|*.txt|文件类型(*.ini)|*.ini||";
    request.parent = parent;
    return request;
}

}  // namespace

void CTirvel2View::OnExportConfig() {
    const std::optional<std::string> path = fw::RunFileDialog(ConfigFileRequest(true, this));
    if (!path) {
        return;
    }
    if (WriteChosenFile(*path, ExportedConfig())) {
        AfxMessageBox(res::IDS_EXPORT_SUCCEEDED);
    }
}

std::string CTirvel2View::ExportedConfig() const {
    std::vector<cfgfile::ConfigEntry> entries;
    const int count = std::min(g_nItemCount, kItemRows);
    // The rows the device listed and nothing else: a placeholder row applied
    // back would name an item the device does not have.
    for (int n = 1; n <= count; ++n) {
        if (IsItemListed(n)) {
            entries.push_back({GetItemLabel(n), GetItemCurrentValue(n)});
        }
    }
    return cfgfile::FormatConfigFile(entries);
}

void CTirvel2View::OnImportConfig() {
    const std::optional<std::string> path = fw::RunFileDialog(ConfigFileRequest(false, this));
    if (!path) {
        return;
    }
    // The whole file is read before anything is applied, so a file that fails
    // half-way leaves the table as it was instead of half imported. A FIFO is
    // never opened: nobody writing to it would hold the window for ever.
    std::string bytes;
    switch (cfgfile::ReadInputFile(*path, bytes, cfgfile::kProfileLimitBytes)) {
        case cfgfile::InputStatus::kOk:
        case cfgfile::InputStatus::kEmpty:
            break;
        case cfgfile::InputStatus::kTooLarge:
            AfxMessageBox(res::IDS_IMPORT_TOO_LARGE, {std::to_string(cfgfile::kProfileLimitMb)});
            return;
        case cfgfile::InputStatus::kNotRegular:
            AfxMessageBox(res::IDS_FILE_NOT_REGULAR, {*path});
            return;
        case cfgfile::InputStatus::kCannotRead:
            AfxMessageBox(res::IDS_OPEN_FILE_FAILED);
            return;
    }
    ImportConfig(bytes);
}

void CTirvel2View::ImportConfig(std::string_view bytes) {
    // A file none of whose keys is a label of this form (another device's
    // profile, a binary chosen by mistake, an empty file) would change nothing
    // yet report success, and set the preset flag: batch mode would then carry
    // the operator's stray values to every device while saying all is well.
    const std::vector<cfgfile::ProfileLine> entries = cfgfile::ParseProfile(bytes);
    // Keys are matched against the labels as they are now, placeholder rows
    // included; the section header and stray text match nothing. A label may
    // stand on several rows; each line is one look-up, whatever the file's size.
    std::vector<std::string> labels;
    for (int n = 1; n <= kItemRows; ++n) {
        labels.push_back(GetItemLabel(n));
    }
    std::unordered_multimap<std::string_view, int> rowsOf;
    for (int n = 1; n <= kItemRows; ++n) {
        rowsOf.emplace(labels[static_cast<std::size_t>(n - 1)], n);
    }
    const bool anyMatch = std::any_of(
        entries.begin(), entries.end(),
        [&rowsOf](const cfgfile::ProfileLine& entry) { return rowsOf.count(entry.key) != 0; });
    if (!anyMatch) {
        AfxMessageBox(res::IDS_IMPORT_NOTHING_MATCHED);
        return;
    }
    for (const cfgfile::ProfileLine& entry : entries) {
        const std::string value(entry.value);
        const auto [first, last] = rowsOf.equal_range(entry.key);
        for (auto row = first; row != last; ++row) {
            const int n = row->second;
            const std::string current = GetItemCurrentValue(n);
            SetItemNewValue(n, value);
            // An equal value leaves the tick as the operator set it.
            if (current != value) {
                SetItemModify(n, 1);
            }
        }
        g_bPreset = true;
    }
    // One refresh for the whole file: a refresh per line made a profile of a
    // million short lines hold the window for many minutes, and nothing can
    // look at the form in between.
    UpdateData(false);
    AfxMessageBox(res::IDS_IMPORT_SUCCEEDED);
}

bool CTirvel2View::WriteChosenFile(const std::string& path, std::string_view bytes) {
    // Told before the write: a FIFO would otherwise fail as a mere failed
    // write, and the operator needs to know the name was the wrong kind.
    if (cfgfile::ClassifyOutput(path) == cfgfile::OutputKind::kRefused) {
        AfxMessageBox(res::IDS_OUTPUT_REFUSED, {path});
        return false;
    }
    if (!cfgfile::ReplaceFileContents(path, bytes)) {
        AfxMessageBox(res::IDS_WRITE_FILE_FAILED, {path});
        return false;
    }
    return true;
}

void CTirvel2View::OnTemplateConfig() {
    for (int n = 1; n <= kItemRows; ++n) {
        SetItemNewValue(n, GetItemCurrentValue(n));
    }
    for (int n = 1; n <= kItemRows; ++n) {
        SetItemModify(n, GetItemCurrentValue(n) != GetItemNewValue(n) ? 1 : 0);
    }
    UpdateData(false);
    g_bPreset = true;
}

void CTirvel2View::OnClearConfig() {
    for (int n = 1; n <= kItemRows; ++n) {
        SetItemNewValue(n, std::string());
        SetItemModify(n, 0);
    }
    UpdateData(false);
    g_bPreset = false;
}
