// The view at work on a simulated device: kavrel-sim on a pty reached through a
// link, the view in a scripted window with a main frame and scripted dialogs,
// and the device's events log to check what really reached it.
#pragma once

#include <chrono>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "ProgramState.h"
#include "ScriptedDialogs.h"
#include "ScriptedWindow.h"
#include "SimProcess.h"
#include "form/MainFrame.h"
#include "form/Tirvel2View.h"

namespace testsupport {

class Workbench {
public:
    // Extra simulator options come after the bench's own (--link, --boot-ms 200,
    // --events).
    explicit Workbench(const std::vector<std::string>& simulatorOptions = {},
                       fw::Language language = fw::Language::English);
    ~Workbench();

    // Start Config, then the loop until the connect sequence has ended: true
    // when Connected.
    bool Connect(std::chrono::milliseconds timeout = std::chrono::seconds(20));
    // Pumps the loop until the condition holds or the time-out passes.
    bool RunUntil(const std::function<bool()>& done,
                  std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // For something outside the view (the simulator's events log): the loop
    // only looks at its condition when something happens in it, so it is
    // pumped in short slices.
    bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout);
    void Command(fw::UINT id) { window.Command(id); }

    // The simulator's events of one kind, in order ("set", "quit", "rx", ...).
    std::vector<nlohmann::json> Events(const std::string& kind) const;
    // The bytes that reached the device, in order, as it logged them.
    std::string Received() const;
    // The items the device stored, in order, from its events log.
    std::vector<int> StoredItems() const;
    // Types the new value of row n and ticks the row as the operator does;
    // false when the form would not take either.
    bool TypeAndTick(int n, const std::string& value);
    // Types and ticks the first `rows` of rows 2, 6 and 11 (an APN, a port,
    // a heartbeat) and presses Modify; false when the form would not take one.
    bool ModifySampleRows(std::size_t rows = 3);
    std::string DevicePath() const { return (dir.Path() / "dtu").string(); }

    TempDir dir;
    SimProcess sim;
    fw::CMessageLoop loop;
    CMainFrame frame;
    CTirvel2View view;
    ScriptedWindow window;
    ScriptedDialogs dialogs;

private:
    SavedProgramState saved_;
};

}  // namespace testsupport
