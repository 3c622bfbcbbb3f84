#include "station/view/StationView.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <variant>

#include "cfgfile/DocumentsFolder.h"
#include "cfgfile/NativePath.h"
#include "framework/Dialog.h"
#include "framework/Language.h"
#include "framework/StringTable.h"
#include "job/DeviceReport.h"
#include "job/JobCheck.h"
#include "job/LinePublisher.h"
#include "job/RecordsForwarding.h"
#include "records/RecordsSetting.h"
#include "res/RecordIds.h"
#include "res/ResourceIds.h"
#include "res/StationIds.h"
#include "station/DeviceRow.h"
#include "station/DevicesPerHour.h"
#include "station/PortList.h"
#include "station/PortPick.h"
#include "station/WorkerProcess.h"

namespace {

namespace fs = std::filesystem;

constexpr int kInputs[] = {
    res::IDC_STATION_JOB_CONFIGURE, res::IDC_STATION_JOB_UPDATE, res::IDC_STATION_FILE,
    res::IDC_STATION_BROWSE,        res::IDC_STATION_PORTS,      res::IDC_STATION_COUNT,
    res::IDC_STATION_PASSWORD,      res::IDC_STATION_REPORT,     res::IDC_STATION_REPORT_BROWSE,
    res::IDC_STATION_RECORDS,       res::IDC_STATION_VALUES,     res::IDC_STATION_VALUES_BROWSE,
    res::IDC_STATION_POOL};

constexpr res::StationPart kParts[] = {res::kPartPort,     res::kPartState,   res::kPartImei,
                                       res::kPartProgress, res::kPartVerdict, res::kPartCounts,
                                       res::kPartHistory,  res::kPartValues};

int PartId(bool tiles, int port, res::StationPart part) {
    return tiles ? res::StationTileId(port, part) : res::StationRowId(port, part);
}

std::string Duration(double seconds) {
    const long total = static_cast<long>(seconds);
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60, total % 60);
    return text;
}

// The user's documents folder; empty where the system names none.
fs::path DocumentsFolder() {
    return cfgfile::NativePath(cfgfile::DocumentsFolder());
}

// A dated report in the folder named, else in the user's documents folder,
// else in the working folder.
std::string DefaultReportPath(const std::string& named) {
    std::error_code error;
    fs::path folder = cfgfile::NativePath(named);
    if (folder.empty() || !fs::is_directory(folder, error)) {
        folder = DocumentsFolder();
    }
    if (folder.empty() || !fs::is_directory(folder, error)) {
        folder = fs::current_path(error);
    }
    return cfgfile::Utf8Path(folder / station::LocalTime("tirvel-station-%Y%m%d-%H%M%S.csv"));
}

}  // namespace

CStationView::CStationView()
    : fw::CFormView(res::IDD_STATION_FORM),
      workerProgram_(
          cfgfile::Utf8Path(cfgfile::NativePath(station::OwnExecutablePath(nullptr)).parent_path() /
                            ("tirvelctl" TIRVEL_EXECUTABLE_SUFFIX))),
      portLister_([] { return serial::ListPresentPorts(); }) {}

CStationView::~CStationView() {
    EndJob();
}

void CStationView::EndJob() {
    // No worker outlives the window.
    OnAbort();
    if (thread_.joinable()) {
        thread_.join();
    }
}

namespace {

// Read from two metres: the state and the verdict in large type, the verdict
// in a word on its colour, never in colour alone.
constexpr int kStateTwips = 240;
constexpr int kVerdictTwips = 360;
constexpr unsigned kWhite = 0xFFFFFF;
constexpr unsigned kOkGreen = 0x1E7B34;
constexpr unsigned kFailedRed = 0xB3261E;

fw::TextLook StateLook() {
    fw::TextLook look;
    look.heightTwips = kStateTwips;
    return look;
}

fw::TextLook VerdictLook(std::optional<bool> ok) {
    fw::TextLook look;
    look.heightTwips = kVerdictTwips;
    look.bold = true;
    if (ok) {
        look.textRgb = kWhite;
        look.hasBackground = true;
        look.backgroundRgb = *ok ? kOkGreen : kFailedRed;
    }
    return look;
}

}  // namespace

void CStationView::OnInitialUpdate() {
    if (Site() != nullptr) {
        for (int tile = 0; tile < res::kStationTiles; ++tile) {
            Site()->SetTextLook(res::StationTileId(tile, res::kPartState), StateLook());
            Site()->SetTextLook(res::StationTileId(tile, res::kPartVerdict), VerdictLook({}));
        }
    }
    if (GetJobForm().file.empty() && ControlText(res::IDC_STATION_PORTS).empty()) {
        ShowJobChoice(Job::Configure);
    }
    ShowRunning(false);
    portList_.Bind(this, res::IDC_STATION_PORTS);
    portsBeforePick_ = ControlText(res::IDC_STATION_PORTS);
    ListPresentPorts();
}

void CStationView::ListPresentPorts() {
    presentPorts_ = portLister_();
    std::vector<std::string> names;
    names.reserve(presentPorts_.size());
    for (const serial::PresentPort& port : presentPorts_) {
        names.push_back(port.name);
    }
    portList_.SetItems(std::move(names));
}

void CStationView::OnPortsNotified(unsigned code) {
    if (code == fw::CBN_DROPDOWN) {
        portsBeforePick_ = ControlText(res::IDC_STATION_PORTS);
        ListPresentPorts();
    } else if (code == fw::CBN_EDITCHANGE) {
        portsBeforePick_ = ControlText(res::IDC_STATION_PORTS);
    } else if (code == fw::CBN_SELCHANGE) {
        // The drop-down shows the item now and may write it again once this
        // returns: the text is set from a posted message, after it.
        const std::string chosen = ControlText(res::IDC_STATION_PORTS);
        const auto port =
            std::find_if(presentPorts_.begin(), presentPorts_.end(),
                         [&chosen](const serial::PresentPort& p) { return p.name == chosen; });
        pickedPorts_ = station::AddPickedPort(
            portsBeforePick_, port != presentPorts_.end() ? *port : serial::PresentPort{chosen, 0});
        PostMessage(res::WM_STATION_PORT_PICKED, 0, 0);
    }
}

fw::LRESULT CStationView::WindowProc(fw::UINT message, fw::WPARAM wParam, fw::LPARAM lParam) {
    if (message == res::WM_STATION_CHANGED) {
        OnChanged();
        return 0;
    }
    if (message == res::WM_STATION_ENDED) {
        OnEnded();
        return 0;
    }
    if (message == res::WM_STATION_PORT_PICKED) {
        Site()->SetControlText(res::IDC_STATION_PORTS, pickedPorts_);
        return 0;
    }
    if (message != fw::WM_COMMAND) {
        return fw::CFormView::WindowProc(message, wParam, lParam);
    }
    if (fw::LOWORD(wParam) == static_cast<unsigned>(res::IDC_STATION_PORTS)) {
        OnPortsNotified(fw::HIWORD(wParam));
        return 0;
    }
    switch (static_cast<int>(wParam & 0xFFFF)) {
        case res::IDC_STATION_JOB_CONFIGURE:
            ShowJobChoice(Job::Configure);
            break;
        case res::IDC_STATION_JOB_UPDATE:
            ShowJobChoice(Job::Update);
            break;
        case res::IDC_STATION_BROWSE:
            OnBrowse();
            break;
        case res::IDC_STATION_REPORT_BROWSE:
            OnReportBrowse();
            break;
        case res::IDC_STATION_VALUES_BROWSE:
            OnValuesBrowse();
            break;
        case res::IDC_STATION_START:
            OnStart();
            break;
        case res::IDC_STATION_FINISH:
            OnFinish();
            break;
        case res::IDC_STATION_ABORT:
            OnAbort();
            break;
        case res::IDC_STATION_OPEN_REPORT:
            OnOpenReport();
            break;
        default:
            return fw::CFormView::WindowProc(message, wParam, lParam);
    }
    return 0;
}

std::string CStationView::ControlText(int id) const {
    return Site() != nullptr ? Site()->GetControlText(id) : std::string();
}

void CStationView::SetJobForm(const JobForm& form) {
    if (Site() == nullptr) {
        return;
    }
    ShowJobChoice(form.job);
    Site()->SetControlText(res::IDC_STATION_FILE, form.file);
    Site()->SetControlText(res::IDC_STATION_PORTS, form.ports);
    portsBeforePick_ = form.ports;
    Site()->SetControlText(res::IDC_STATION_COUNT, form.count);
    Site()->SetControlText(res::IDC_STATION_REPORT, form.report);
    reportFolder_ = form.reportFolder;
    Site()->SetControlText(res::IDC_STATION_RECORDS, form.records);
    Site()->SetControlText(res::IDC_STATION_VALUES, form.values);
    Site()->SetControlText(res::IDC_STATION_POOL, form.pool);
}

CStationView::JobForm CStationView::GetJobForm() const {
    JobForm form;
    form.job = IsDlgButtonChecked(res::IDC_STATION_JOB_UPDATE) != 0 ? Job::Update : Job::Configure;
    form.file = ControlText(res::IDC_STATION_FILE);
    form.ports = ControlText(res::IDC_STATION_PORTS);
    form.count = ControlText(res::IDC_STATION_COUNT);
    form.report = ControlText(res::IDC_STATION_REPORT);
    form.reportFolder = form.report.empty()
                            ? reportFolder_
                            : cfgfile::Utf8Path(cfgfile::NativePath(form.report).parent_path());
    form.records = ControlText(res::IDC_STATION_RECORDS);
    form.values = ControlText(res::IDC_STATION_VALUES);
    form.pool = ControlText(res::IDC_STATION_POOL);
    return form;
}

void CStationView::ShowJobChoice(Job job) {
    CheckDlgButton(res::IDC_STATION_JOB_CONFIGURE, job == Job::Configure ? 1 : 0);
    CheckDlgButton(res::IDC_STATION_JOB_UPDATE, job == Job::Update ? 1 : 0);
}

void CStationView::ShowRunning(bool running) {
    for (int id : kInputs) {
        EnableDlgItem(id, !running);
    }
    EnableDlgItem(res::IDC_STATION_START, !running);
    EnableDlgItem(res::IDC_STATION_FINISH, running);
    EnableDlgItem(res::IDC_STATION_ABORT, running);
}

void CStationView::OnBrowse() {
    fw::FileDialogRequest request;
    const bool update = GetJobForm().job == Job::Update;
    request.filter =
        fw::LoadString(update ? res::IDS_FIRMWARE_FILTER : res::IDS_STATION_PROFILE_FILTER);
    request.flags = fw::OFN_FILEMUSTEXIST | fw::OFN_HIDEREADONLY;
    request.parent = this;
    if (const std::optional<std::string> path = fw::RunFileDialog(request)) {
        Site()->SetControlText(res::IDC_STATION_FILE, *path);
    }
}

void CStationView::OnReportBrowse() {
    fw::FileDialogRequest request;
    request.save = true;
    request.defaultExt = "csv";
    request.filter = fw::LoadString(res::IDS_STATION_REPORT_FILTER);
    request.flags = fw::OFN_HIDEREADONLY;
    request.parent = this;
    if (const std::optional<std::string> path = fw::RunFileDialog(request)) {
        Site()->SetControlText(res::IDC_STATION_REPORT, *path);
    }
}

void CStationView::OnValuesBrowse() {
    fw::FileDialogRequest request;
    request.filter = fw::LoadString(res::IDS_STATION_VALUES_FILTER);
    request.flags = fw::OFN_FILEMUSTEXIST | fw::OFN_HIDEREADONLY;
    request.parent = this;
    if (const std::optional<std::string> path = fw::RunFileDialog(request)) {
        Site()->SetControlText(res::IDC_STATION_VALUES, *path);
    }
}

void CStationView::OnStart() {
    if (Running()) {
        return;
    }
    const JobForm form = GetJobForm();
    const station::StationJob kind =
        form.job == Job::Update ? station::StationJob::Update : station::StationJob::Batch;
    // The dated report of the documents folder is checked like one named.
    const std::string reportPath =
        form.report.empty() ? DefaultReportPath(reportFolder_) : form.report;
    // An update takes no values: a table or a pool left in the fields from a
    // Configure job is neither checked nor passed on.
    const bool batch = kind == station::StationJob::Batch;
    const std::string values = batch ? form.values : std::string();
    const std::string pool = batch ? form.pool : std::string();
    std::variant<job::CheckedJob, std::string> checked =
        job::CheckJob({kind, form.file, form.ports, form.count, form.records, reportPath, values,
                       pool, workerProgram_});
    if (const auto* refusal = std::get_if<std::string>(&checked)) {
        Refuse(*refusal);
        return;
    }
    job::CheckedJob& ready = std::get<job::CheckedJob>(checked);

    // Sends what the workers keep on to the line's server, in the background,
    // for as long as the window stays open or until the next job.
    forwarding_ = std::make_unique<job::RecordsForwarding>(ready.recording.where);

    station::SupervisorSettings settings;
    settings.workerOptions = job::RecordingOptions(ready.recording, form.file);
    settings.history = job::HistoryLookup(ready.recording.where);
    settings.job = kind;
    settings.file = form.file;
    settings.bytes = std::move(ready.bytes);
    settings.valuesFile = values;
    settings.valuesBytes = std::move(ready.valuesBytes);
    settings.pool = pool;
    settings.count = ready.count;
    const std::string password = GetDlgItemBytes(res::IDC_STATION_PASSWORD);
    if (!password.empty()) {
        settings.password = password;
    }
    settings.program = workerProgram_;
    settings.language = fw::CurrentLanguage() == fw::Language::Chinese ? "zh" : "en";

    // Only the report's CSV counts here: the window shows the rows itself.
    report_ = std::make_unique<job::DeviceReport>(
        kind == station::StationJob::Update ? job::ReportKind::Transfer : job::ReportKind::Batch,
        reportPath);
    if (!report_->Open()) {
        Refuse(fw::LoadText(res::IDS_CLI_REPORT_FAILED, {reportPath}));
        report_.reset();
        return;
    }
    Site()->SetControlText(res::IDC_STATION_REPORT, reportPath);
    reportPath_ = reportPath;

    {
        const std::lock_guard lock(mutex_);
        ended_.reset();
        lastLine_.clear();
    }
    result_.reset();
    shownPorts_ = 0;
    shown_.clear();
    // What the tiles show goes to the line's dashboard, where records go to
    // the line's server.
    publisher_ = std::make_unique<job::LinePublisher>(
        ready.recording.where, job::LineJob{ready.recording.station, kind, form.file,
                                            settings.bytes, static_cast<int>(ready.ports.size())});
    station::StationListener& listener = *this;
    supervisor_ = std::make_unique<station::Supervisor>(std::move(ready.ports), std::move(settings),
                                                        listener);
    ShowRunning(true);
    thread_ = std::thread([this] {
        std::optional<station::StationResult> result = supervisor_->Run();
        publisher_.reset();
        {
            const std::lock_guard lock(mutex_);
            ended_ = result;
            if (!result) {
                lastLine_ = supervisor_->Failure();
            }
        }
        PostMessage(res::WM_STATION_ENDED, 0, 0);
    });
}

void CStationView::Refuse(const std::string& text) {
    MessageBoxById(res::IDS_STATION_TEXT, res::IDS_STATION_CAPTION, fw::MB_OK, {text});
}

void CStationView::OnFinish() {
    if (supervisor_) {
        supervisor_->Finish();
    }
}

void CStationView::OnAbort() {
    if (supervisor_) {
        supervisor_->Abort();
    }
}

void CStationView::OnOpenReport() {
    // The last job's report, else the one the form names.
    const std::string path =
        reportPath_.empty() ? ControlText(res::IDC_STATION_REPORT) : reportPath_;
    std::error_code error;
    if (path.empty() || !fs::is_regular_file(cfgfile::NativePath(path), error) ||
        !fw::OpenDocument(path)) {
        MessageBoxById(res::IDS_STATION_NO_REPORT, res::IDS_STATION_CAPTION, fw::MB_OK, {path});
    }
}

bool CStationView::QueryClose() {
    if (!Running()) {
        return true;
    }
    switch (MessageBoxById(res::IDS_STATION_CLOSE_RUNNING, res::IDS_STATION_CAPTION,
                           fw::MB_YESNOCANCEL)) {
        case fw::IDYES:
            closeWhenEnded_ = true;
            OnFinish();
            return false;
        case fw::IDNO:
            closeWhenEnded_ = true;
            OnAbort();
            return false;
        default:
            return false;
    }
}

void CStationView::Changed(const station::StationSnapshot& snapshot) {
    if (publisher_) {
        publisher_->Publish(snapshot);
    }
    {
        const std::lock_guard lock(mutex_);
        latest_ = snapshot;
    }
    // One message in the queue at a time: a slow window skips to the newest.
    if (!changePosted_.exchange(true)) {
        PostMessage(res::WM_STATION_CHANGED, 0, 0);
    }
}

void CStationView::Said(const std::string& line) {
    {
        const std::lock_guard lock(mutex_);
        lastLine_ = line;
    }
    if (!changePosted_.exchange(true)) {
        PostMessage(res::WM_STATION_CHANGED, 0, 0);
    }
}

bool CStationView::Recorded(const station::DeviceRow& row) {
    // The worker kept the device's record before it told its row.
    if (forwarding_) {
        forwarding_->Wake();
    }
    if (report_ && report_->Add(row)) {
        return true;
    }
    // The device is what its row says; that the report lacks it must be told.
    Said(fw::LoadText(res::IDS_CLI_REPORT_FAILED, {reportPath_}));
    return false;
}

void CStationView::OnChanged() {
    changePosted_ = false;
    station::StationSnapshot snapshot;
    std::string line;
    {
        const std::lock_guard lock(mutex_);
        snapshot = latest_;
        line = lastLine_;
    }
    ShowPorts(snapshot);
    ShowTotals(snapshot);
    SetText(res::IDC_STATION_LAST_LINE, line);
    shownSnapshot_ = std::move(snapshot);
}

void CStationView::OnEnded() {
    if (thread_.joinable()) {
        thread_.join();
    }
    OnChanged();
    {
        const std::lock_guard lock(mutex_);
        result_ = ended_;
    }
    supervisor_.reset();
    report_.reset();
    ShowRunning(false);
    if (closeWhenEnded_ && closeRequest_) {
        closeRequest_();
    }
}

bool CStationView::SetText(int id, const std::string& text) {
    // Only what changed is drawn again: four times a second for every port.
    auto [at, added] = shown_.try_emplace(id, text);
    if (!added && at->second == text) {
        return false;
    }
    at->second = text;
    Site()->SetControlText(id, text);
    return true;
}

void CStationView::ShowPorts(const station::StationSnapshot& snapshot) {
    if (Site() == nullptr) {
        return;
    }
    const std::size_t count = snapshot.ports.size();
    const bool tiles = count <= static_cast<std::size_t>(res::kStationTiles);
    if (count != shownPorts_) {
        for (int i = 0; i < res::kStationRows; ++i) {
            for (res::StationPart part : kParts) {
                if (i < res::kStationTiles) {
                    ShowDlgItem(res::StationTileId(i, part),
                                tiles && i < static_cast<int>(count) ? fw::SW_SHOW : fw::SW_HIDE);
                }
                ShowDlgItem(res::StationRowId(i, part),
                            !tiles && i < static_cast<int>(count) ? fw::SW_SHOW : fw::SW_HIDE);
            }
            if (i < static_cast<int>(count)) {
                Site()->SetProgressRange(PartId(tiles, i, res::kPartProgress), 0, 1000);
            }
        }
        shownPorts_ = count;
    }
    for (std::size_t i = 0; i < count; ++i) {
        const station::PortState& port = snapshot.ports[i];
        const int n = static_cast<int>(i);
        SetText(PartId(tiles, n, res::kPartPort), port.label);
        SetText(PartId(tiles, n, res::kPartState), port.state);
        SetText(PartId(tiles, n, res::kPartImei), port.imei);
        SetText(PartId(tiles, n, res::kPartHistory), port.history);
        SetText(PartId(tiles, n, res::kPartValues), port.values);
        const std::optional<bool> verdict =
            port.lastVerdict.empty() ? std::nullopt : std::optional<bool>(port.lastOk);
        if (SetText(PartId(tiles, n, res::kPartVerdict),
                    !verdict ? std::string()
                             : fw::LoadText(*verdict ? res::IDS_STATION_VERDICT_OK
                                                     : res::IDS_STATION_VERDICT_FAILED)) &&
            tiles) {
            Site()->SetTextLook(PartId(tiles, n, res::kPartVerdict), VerdictLook(verdict));
        }
        SetText(PartId(tiles, n, res::kPartCounts),
                fw::LoadText(res::IDS_STATION_TILE_COUNTS,
                             {std::to_string(port.ok), std::to_string(port.failed)}));
        Site()->SetProgressPos(PartId(tiles, n, res::kPartProgress), port.permille);
    }
}

void CStationView::ShowTotals(const station::StationSnapshot& snapshot) {
    SetText(res::IDC_STATION_TOTALS,
            fw::LoadText(res::IDS_STATION_WINDOW_TOTALS,
                         {std::to_string(snapshot.done),
                          snapshot.count > 0 ? std::to_string(snapshot.count) : "-",
                          std::to_string(snapshot.failed),
                          station::DevicesPerHour(snapshot.done, snapshot.seconds),
                          Duration(snapshot.seconds)}));
}
