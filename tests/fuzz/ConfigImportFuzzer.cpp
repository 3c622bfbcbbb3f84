// Import of a configuration file: the fuzz input becomes a real file that the
// view's Import handler opens through the file chooser. New values and ticks
// must end exactly as the file's "key=value" lines say.
//
// Input: byte 0 is the number of rows (0..15) that get a device's name and
// value before the import (the others keep their placeholder labels, which
// match too); the rest is the file.
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzCheck.h"
#include "ViewBench.h"
#include "cfgfile/Preset.h"
#include "framework/Dialog.h"
#include "protocol/AtExchange.h"

namespace {

constexpr int kRows = CTirvel2View::kItemRows;

constexpr const char* kNames[] = {"Mode", "Server", "Port", "APN", "User", "Pwd", "Baud", "ID"};
constexpr const char* kValues[] = {"1", "10.0.0.1", "5000", "", "cmnet", "a=b", "\xB2\xE2", " x "};

// A scratch file for the whole run, and a chooser that always picks it.
class FileHost : public fw::IDialogHost {
public:
    FileHost() {
        // A random name in the system's temporary folder: parallel runs of
        // the target must not write into each other's file.
        std::random_device seed;
        path_ = (std::filesystem::temp_directory_path() /
                 ("tirvel-fuzz-import-" + std::to_string(seed()) + std::to_string(seed())))
                    .string();
        std::ofstream(path_, std::ios::binary);
        std::atexit([] { std::remove(Instance().path_.c_str()); });
        fw::SetDialogHost(this);
    }
    static FileHost& Instance() {
        static FileHost host;
        return host;
    }
    int RunModal(fw::CDialog&, fw::CWnd*) override { return fw::IDCANCEL; }
    std::optional<std::string> RunFileDialog(const fw::FileDialogRequest&) override {
        ++choosers_;
        return path_;
    }
    bool Write(std::string_view bytes) const {
        std::FILE* f = std::fopen(path_.c_str(), "wb");
        if (f == nullptr) {
            return false;
        }
        const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
        return std::fclose(f) == 0 && ok;
    }
    int choosers_ = 0;

private:
    std::string path_;
};

}  // namespace

FUZZ_TARGET(config_import) {
    if (size < 1) {
        return 0;
    }
    FileHost& host = FileHost::Instance();
    fuzzsupport::ViewBench& bench = fuzzsupport::Bench();
    bench.Reset();
    CTirvel2View& view = bench.view;
    const int named = data[0] & 0x0F;
    for (int n = 1; n <= named; ++n) {
        view.SetItemLabel(n, kNames[(n - 1) % 8]);
        view.SetItemCurrentValue(n, kValues[(n * 3) % 8]);
    }
    g_nItemCount = named;
    g_bPreset = false;
    view.UpdateData(false);

    const std::string_view file(reinterpret_cast<const char*>(data + 1), size - 1);
    FUZZ_CHECK(host.Write(file));

    // What the file says: lines end at LF (a CR right before it goes with it),
    // a last line needs no end, and each line holding "=" sets every row whose
    // label is its key.
    std::array<std::string, kRows + 1> labels, current, wantNew;
    std::array<int, kRows + 1> wantTick{};
    for (int n = 1; n <= kRows; ++n) {
        labels[n] = view.GetItemLabel(n);
        current[n] = view.GetItemCurrentValue(n);
    }
    bool wantPreset = false;
    bool matched = false;
    std::size_t start = 0;
    while (start < file.size()) {
        std::size_t end = file.find('\n', start);
        std::string_view line = file.substr(
            start, end == std::string_view::npos ? std::string_view::npos : end - start);
        start = end == std::string_view::npos ? file.size() : end + 1;
        if (end != std::string_view::npos && !line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) {
            continue;
        }
        wantPreset = true;
        for (int n = 1; n <= kRows; ++n) {
            if (labels[n] == line.substr(0, equals)) {
                matched = true;
                wantNew[n] = std::string(line.substr(equals + 1));
                if (current[n] != wantNew[n]) {
                    wantTick[n] = 1;
                }
            }
        }
    }

    const int choosersBefore = host.choosers_;
    view.OnImportConfig();

    FUZZ_CHECK(host.choosers_ == choosersBefore + 1);
    // A file that matches no row changes nothing and says so, instead of
    // reporting success and turning batch mode on.
    if (!matched) {
        wantPreset = false;
        wantNew = {};
        wantTick = {};
    }
    FUZZ_CHECK(bench.window.MessageBoxTexts() ==
               std::vector<fw::UINT>{matched ? res::IDS_IMPORT_SUCCEEDED
                                             : res::IDS_IMPORT_NOTHING_MATCHED});
    FUZZ_CHECK(g_bPreset == wantPreset);
    FUZZ_CHECK(g_nItemCount == named);
    for (int n = 1; n <= kRows; ++n) {
        FUZZ_CHECK(view.GetItemLabel(n) == labels[n]);
        FUZZ_CHECK(view.GetItemCurrentValue(n) == current[n]);
        FUZZ_CHECK(view.GetItemNewValue(n) == wantNew[n]);
        FUZZ_CHECK(bench.window.Check(ItemModifyId(n)) == wantTick[n]);
    }
    g_bPreset = false;
    return 0;
}
