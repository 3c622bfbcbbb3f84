// The station window's view: the job (Configure with a profile, or Update
// firmware), the ports, the count, the password and the report, and one tile
// per port fed by the supervisor's events. It stands on the window layer like
// the configuration form, so the Qt and Win32 desktops and the scripted test
// window host the same code. The supervisor runs on a thread of its own and
// posts; the user-interface thread never waits on a port or a pipe.
#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "framework/ComboBox.h"
#include "framework/FormView.h"
#include "serial/PresentPorts.h"
#include "station/Supervisor.h"

namespace job {
class DeviceReport;
class LinePublisher;
class RecordsForwarding;
}  // namespace job

class CStationView : public fw::CFormView, private station::StationListener {
public:
    enum class Job { Configure, Update };

    // What the form holds; the command line and the remembered last job fill it.
    struct JobForm {
        Job job = Job::Configure;
        std::string file;  // UTF-8 path
        std::string ports;
        std::string count;         // empty: one device per port (update), until Finish (configure)
        std::string report;        // empty: a dated file in reportFolder
        std::string reportFolder;  // empty: the user's documents folder
        // Where the devices' records go, as tirvelctl's --records takes it;
        // empty: TIRVEL_RECORDS, else the user's records file.
        std::string records;
        // A Configure job's table of each device's own values by IMEI, as
        // tirvelctl's --values takes it; empty: none.
        std::string values;
        // A Configure job's value pool, by name, as tirvelctl's --pool takes
        // it; empty: none.
        std::string pool;
    };

    CStationView();
    ~CStationView() override;

    void OnInitialUpdate() override;
    fw::LRESULT WindowProc(fw::UINT message, fw::WPARAM wParam, fw::LPARAM lParam) override;

    void SetJobForm(const JobForm& form);
    JobForm GetJobForm() const;
    // tirvelctl, started for every device; by default beside this program.
    void SetWorkerProgram(std::string path) { workerProgram_ = std::move(path); }
    // What lists the ports present; by default the system's serial ports.
    using PortLister = std::function<std::vector<serial::PresentPort>()>;
    void SetPortLister(PortLister lister) { portLister_ = std::move(lister); }

    bool Running() const { return thread_.joinable(); }
    // Aborts a job still running and waits for its supervisor: a host calls
    // it before the view's window goes, since the supervisor's thread posts
    // to that window until it has ended.
    void EndJob();
    // Closing while a job runs asks first; true when the window may go now.
    // Finish chosen: the window goes once the devices in flight are done.
    bool QueryClose();
    // How the host closes the window once a job asked to close has ended.
    void SetCloseRequest(std::function<void()> request) { closeRequest_ = std::move(request); }

    void OnStart();
    void OnFinish();
    void OnAbort();
    void OnBrowse();
    void OnReportBrowse();
    void OnValuesBrowse();
    void OnOpenReport();

    // What the window shows now: every port and the totals.
    const station::StationSnapshot& Shown() const { return shownSnapshot_; }

    // The last run's result; none before the first has ended.
    const std::optional<station::StationResult>& LastResult() const { return result_; }

private:
    // On the supervisor's thread.
    void Changed(const station::StationSnapshot& snapshot) override;
    void Said(const std::string& line) override;
    bool Recorded(const station::DeviceRow& row) override;

    // The port list: filled when the window opens and whenever it drops down;
    // a pick adds to what was typed before it.
    void OnPortsNotified(unsigned code);
    void ListPresentPorts();

    void OnChanged();
    void OnEnded();
    void ShowPorts(const station::StationSnapshot& snapshot);
    void ShowTotals(const station::StationSnapshot& snapshot);
    void ShowRunning(bool running);
    void ShowJobChoice(Job job);
    std::string ControlText(int id) const;
    // Why the job cannot start, told in a message box.
    void Refuse(const std::string& text);
    // False when the control already showed the text.
    bool SetText(int id, const std::string& text);

    std::string workerProgram_;
    PortLister portLister_;
    fw::CComboBox portList_;
    std::vector<serial::PresentPort> presentPorts_;
    // The ports as the operator left them before a pick; each pick (arrow keys
    // run through several) adds to this, not to the pick before.
    std::string portsBeforePick_;
    std::string pickedPorts_;
    std::unique_ptr<job::DeviceReport> report_;
    std::unique_ptr<job::RecordsForwarding> forwarding_;
    // Made before the supervisor's thread starts and gone before it ends:
    // only that thread touches it, so the window never waits on the server.
    std::unique_ptr<job::LinePublisher> publisher_;
    std::unique_ptr<station::Supervisor> supervisor_;
    std::thread thread_;
    std::size_t shownPorts_ = 0;
    bool closeWhenEnded_ = false;
    std::function<void()> closeRequest_;
    std::string reportPath_;
    std::string reportFolder_;
    std::map<int, std::string> shown_;  // what each control was last given
    station::StationSnapshot shownSnapshot_;
    std::optional<station::StationResult> result_;

    std::mutex mutex_;  // guards what the supervisor's thread hands over
    station::StationSnapshot latest_;
    std::string lastLine_;
    std::atomic<bool> changePosted_{false};
    std::optional<station::StationResult> ended_;
};
