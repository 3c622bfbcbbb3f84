// The base of the cases that run this project's command-line programs as the
// operator does, each case in a scratch folder of its own: the outputs of its
// runs, the simulator's links and logs all stay there.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "ChildProcess.h"
#include "ProgramStateTest.h"
#include "SimRecords.h"
#include "TempDir.h"
#include "TestFiles.h"
#include "TextSearch.h"

// The names every case that runs the programs uses.
namespace fs = std::filesystem;
using Json = nlohmann::json;
using namespace std::chrono_literals;

namespace testsupport {

// What one run left: its exit code and what it printed.
struct RunResult {
    int exit;
    std::string out;
    std::string err;
};

// For what another process does: looks every 20 ms until done() holds (true)
// or the time is up (false).
inline bool PollUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

class ToolRunTest : public ProgramStateTest {
protected:
    // The simulator registers nothing outside the case's folder, and the
    // language is the tests' choice, not the machine's.
    void SetUp() override {
        SetEnv("XDG_CONFIG_HOME", dir_.Path().string());
        SetEnv("XDG_DATA_HOME", (dir_.Path() / "data").string());
        SetEnv("LC_ALL", "C");
    }

    // Run n prints to outN and errN in the case's folder; Out() and Err() name
    // the latest run's.
    std::unique_ptr<ChildProcess> StartRun(const std::string& program,
                                           const std::vector<std::string>& args,
                                           const std::filesystem::path& in = "/dev/null") {
        ++runs_;
        return std::make_unique<ChildProcess>(program, args, Out(), Err(), in);
    }
    std::filesystem::path Out() const { return dir_.Path() / ("out" + std::to_string(runs_)); }
    std::filesystem::path Err() const { return dir_.Path() / ("err" + std::to_string(runs_)); }

    // The latest run to its end, or killed at the time-out (exit -1).
    RunResult Finish(ChildProcess& run,
                     std::chrono::milliseconds timeout = std::chrono::hours(24)) const {
        const int code = run.Wait(timeout);
        return {code, ReadFile(Out()), ReadFile(Err())};
    }

    // Until the latest run has printed text on stderr at least `times` times.
    bool WaitForErr(const std::string& text, std::chrono::milliseconds timeout,
                    int times = 1) const {
        return PollUntil([&] { return Occurrences(ReadFile(Err()), text) >= times; }, timeout);
    }

    // Where a case with one simulator has its link, its events log and its
    // --state file.
    std::string Link() const { return (dir_.Path() / "dtu").string(); }
    std::filesystem::path Events() const { return dir_.Path() / "events.jsonl"; }
    std::filesystem::path State() const { return dir_.Path() / "state.txt"; }
    std::vector<nlohmann::json> EventsOf(const std::string& kind) const {
        return testsupport::EventsOf(Events(), kind);
    }
    // The case's --params file, written with the table its device is to hold.
    std::string DeviceTable(const std::string& table) const {
        const std::filesystem::path file = dir_.Path() / "params.txt";
        WriteFile(file, table);
        return file.string();
    }

    TempDir dir_;

private:
    int runs_ = 0;
};

}  // namespace testsupport
