#include "Workbench.h"

#include <algorithm>

#include "SimRecords.h"
#include "cfgfile/Preset.h"
#include "form/ControlIds.h"
#include "protocol/AtExchange.h"
#include "protocol/Probe.h"
#include "res/ResourceIds.h"

namespace testsupport {
namespace {

std::vector<std::string> SimulatorArguments(const TempDir& dir,
                                            const std::vector<std::string>& extra) {
    std::vector<std::string> args{"--link", (dir.Path() / "dtu").string(), "--events",
                                  (dir.Path() / "events.jsonl").string()};
    if (std::find(extra.begin(), extra.end(), "--boot-ms") == extra.end()) {
        args.insert(args.end(), {"--boot-ms", "200"});
    }
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
}

}  // namespace

Workbench::Workbench(const std::vector<std::string>& simulatorOptions, fw::Language language)
    : sim(SimulatorArguments(dir, simulatorOptions)),
      window(loop, view, res::IDD_TIRVEL2_FORM, language),
      dialogs(loop) {
    fw::SetLanguage(language);
    g_nItemCount = 0;
    SetDeviceEchoes(false);
    g_nProbeStopFlag = 0;
    g_bPreset = false;
    AfxSetMainFrame(&frame);
    view.m_strDevicePath = DevicePath();
    view.OnInitialUpdate();
}

Workbench::~Workbench() {
    // As the desktop does when its window closes.
    frame.OnClose();
    AfxSetMainFrame(nullptr);
}

bool Workbench::RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    return loop.RunUntil(done, timeout);
}

bool Workbench::Connect(std::chrono::milliseconds timeout) {
    Command(res::ID_START_CONFIG);
    // Every failure of the connect sequence closes the port and stays Connecting.
    RunUntil(
        [&] {
            return view.m_nConnectState == kStateConnected ||
                   (view.m_nConnectState == kStateConnecting &&
                    view.m_hComPort == INVALID_HANDLE_VALUE) ||
                   view.m_nConnectState == kStateIdle;
        },
        timeout);
    return view.m_nConnectState == kStateConnected;
}

bool Workbench::WaitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        RunUntil([] { return false; }, std::chrono::milliseconds(50));
    }
    return true;
}

std::vector<nlohmann::json> Workbench::Events(const std::string& kind) const {
    return EventsSoFar(dir.Path() / "events.jsonl", kind);
}

std::string Workbench::Received() const {
    return ReceivedBytes(Events("rx"));
}

std::vector<int> Workbench::StoredItems() const {
    std::vector<int> items;
    for (const auto& e : Events("set")) {
        items.push_back(e.value("item", 0));
    }
    return items;
}

bool Workbench::TypeAndTick(int n, const std::string& value) {
    if (!window.Type(ItemNewId(n), value)) {
        return false;
    }
    return window.Check(ItemModifyId(n)) != 0 || window.Click(ItemModifyId(n));
}

bool Workbench::ModifySampleRows(std::size_t rows) {
    const std::pair<int, const char*> sample[] = {{2, "internet.m2m"}, {6, "8080"}, {11, "30"}};
    for (std::size_t i = 0; i < rows && i < std::size(sample); ++i) {
        if (!TypeAndTick(sample[i].first, sample[i].second)) {
            return false;
        }
    }
    Command(res::ID_MODIFY);
    return true;
}

}  // namespace testsupport
