// The whole device dialogue of the view (connect, read, export, apply with its
// read-back as tirvelctl judges it, restore) against a device that holds a
// table and answers truly but misbehaves on its line (DialoguePort.h). The
// rule: every success claimed is the device's state afterwards; a failure or
// a refusal is always allowed.
#include <algorithm>
#include <string>
#include <vector>

#include "DialoguePort.h"
#include "FuzzCheck.h"
#include "ViewBench.h"
#include "cfgfile/ConfigFile.h"
#include "cli/ReadBack.h"
#include "protocol/AtExchange.h"
#include "protocol/ItemLabel.h"
#include "protocol/Probe.h"
#include "res/ResourceIds.h"

namespace fuzzsupport {

DialogueTally g_dialogueTally;

namespace {

bool Shown(ViewBench& bench, fw::UINT id) {
    const std::vector<fw::UINT> texts = bench.window.MessageBoxTexts();
    return std::find(texts.begin(), texts.end(), id) != texts.end();
}

// Every row the view holds as listed is the device's item as it is now, and
// no other row is.
bool RowsAreTheDevices(CTirvel2View& view, const DialoguePort& port) {
    bool any = false;
    for (int n = 1; n <= CTirvel2View::kItemRows; ++n) {
        if (!view.IsItemListed(n)) {
            continue;
        }
        any = true;
        const ModelItem* item = port.Find(n);
        if (item == nullptr || view.GetItemLabel(n) != ItemLabel(n, item->name) ||
            view.GetItemCurrentValue(n) != item->value) {
            return false;
        }
    }
    return any && g_nItemCount >= 1 && view.IsItemListed(g_nItemCount);
}

// What the read-back found is what the device holds.
bool FoundIsTheDevices(const std::vector<cli::ItemCheck>& checks, const DialoguePort& port) {
    return std::all_of(checks.begin(), checks.end(), [&port](const cli::ItemCheck& check) {
        if (!check.found) {
            return true;
        }
        const ModelItem* item = port.Find(check.found->number);
        return item != nullptr && item->name == check.found->name &&
               item->value == check.found->value;
    });
}

bool AllHold(const std::vector<cli::ItemCheck>& checks) {
    return std::all_of(checks.begin(), checks.end(),
                       [](const cli::ItemCheck& check) { return check.Holds(); });
}

}  // namespace
}  // namespace fuzzsupport

FUZZ_TARGET(dialogue_truth) {
    using fuzzsupport::DialoguePort;
    using fuzzsupport::g_dialogueTally;
    fuzzsupport::ViewBench& bench = fuzzsupport::Bench();
    bench.Reset();
    CTirvel2View& view = bench.view;
    DialoguePort port(data, size);
    SetAtClock(&fuzzsupport::ScriptedPort::SteadyNow);
    const PortHandle handle = fuzzsupport::ScriptedPort::kHandle;

    // Connect as Start does, the probe run here rather than on its thread; a
    // raised stop flag ends it after one attempt instead of waiting.
    view.ForgetDevice();
    view.m_hComPort = handle;
    view.m_nConnectState = kStateConnecting;
    g_nProbeStopFlag = 1;
    const int probe = ProbeDevice(handle);
    view.OnProbeResult(static_cast<fw::WPARAM>(probe), static_cast<fw::LPARAM>(view.m_nConnection));
    const bool connected = view.m_nConnectState == kStateConnected;
    if (connected) {
        ++g_dialogueTally.connected;
        FUZZ_CHECK(view.m_strImei == DialoguePort::Imei());
        FUZZ_CHECK(view.m_strVersion == DialoguePort::Version());
        FUZZ_CHECK(fuzzsupport::RowsAreTheDevices(view, port));

        // Export: the listed rows, ascending, and nothing else.
        const std::string exported = view.ExportedConfig();
        std::vector<cli::WantedItem> profile = cli::ProfileItems(exported);
        int last = 0;
        for (const cli::WantedItem& entry : profile) {
            const int n = std::atoi(entry.label.c_str());
            const fuzzsupport::ModelItem* item = port.Find(n);
            FUZZ_CHECK(n > last && view.IsItemListed(n));
            FUZZ_CHECK(item != nullptr && entry.label == ItemLabel(n, item->name) &&
                       entry.value == item->value);
            last = n;
        }

        // Apply that export with a new value for every other row.
        std::string file = "[CFG]\r\n";
        for (std::size_t i = 0; i < profile.size(); ++i) {
            if (i % 2 == 0) {
                profile[i].value = "w" + std::to_string(size % 97) + "-" + std::to_string(i);
            }
            file += profile[i].label + "=" + profile[i].value + "\r\n";
        }
        bench.window.ClearMessageBoxes();
        view.ImportConfig(file);
        FUZZ_CHECK(fuzzsupport::Shown(bench, res::IDS_IMPORT_SUCCEEDED));
        view.OnModify();
        if (view.m_hComPort == handle) {
            const std::vector<cli::WantedItem> wanted = cli::ProfileItems(file);
            const std::vector<cli::ItemCheck> checks =
                cli::CheckItems(wanted, cli::ReadBackItems(handle, wanted));
            FUZZ_CHECK(fuzzsupport::FoundIsTheDevices(checks, port));
            if (fuzzsupport::AllHold(checks)) {
                ++g_dialogueTally.applied;
                for (const cli::WantedItem& w : wanted) {
                    const fuzzsupport::ModelItem* item = port.Find(std::atoi(w.label.c_str()));
                    FUZZ_CHECK(item != nullptr && item->value == w.value);
                }
            }
        }
    }

    // Restore, judged as tirvelctl judges it: its box, and what a read-back
    // twice alike then finds against the rows as they were.
    if (connected && view.m_hComPort == handle) {
        std::vector<cli::WantedItem> rows;
        for (int n = 1; n <= g_nItemCount; ++n) {
            if (view.IsItemListed(n)) {
                rows.push_back({n, std::string(), view.GetItemCurrentValue(n)});
            }
        }
        bench.window.ClearMessageBoxes();
        const int restoresBefore = port.Restores();
        view.OnRestore();
        bool ok = fuzzsupport::Shown(bench, res::IDS_RESTORE_SUCCEEDED) &&
                  !fuzzsupport::Shown(bench, res::IDS_READ_CONFIG_FAILED);
        if (ok) {
            const std::vector<cli::ItemCheck> checks =
                cli::CheckItems(rows, cli::ReadBackItems(handle, rows));
            // The device listed every row before; one the read-back missed
            // is unknown, not gone.
            ok = std::all_of(checks.begin(), checks.end(),
                             [](const cli::ItemCheck& check) { return check.found.has_value(); });
            FUZZ_CHECK(fuzzsupport::FoundIsTheDevices(checks, port));
            if (ok) {
                ++g_dialogueTally.restored;
                FUZZ_CHECK(port.Restores() > restoresBefore);
                for (const cli::ItemCheck& check : checks) {
                    const fuzzsupport::ModelItem* item = port.Find(check.wanted.number);
                    FUZZ_CHECK(item != nullptr && item->value == item->factory);
                }
            }
        }
    }
    SetAtClock(nullptr);
    SetDeviceEchoes(false);
    g_nProbeStopFlag = 0;
    g_nItemCount = 0;
    view.m_hComPort = INVALID_HANDLE_VALUE;
    view.m_nConnectState = kStateIdle;
    return 0;
}
