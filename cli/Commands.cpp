#include "cli/Commands.h"
#include <algorithm>

#include <ctime>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>

#include "cfgfile/ConfigFile.h"
#include "cli/OwnValues.h"
#include "cli/ReadBack.h"
#include "cli/ReportLines.h"
#include "common/TextOutput.h"
#include "framework/CodePage.h"
#include "job/DeviceReport.h"
#include "protocol/AtExchange.h"
#include "protocol/ItemLabel.h"
#include "records/DeviceRecord.h"
#include "res/RecordIds.h"
#include "res/ResourceIds.h"
#include "serial/PortPath.h"

namespace cli {
namespace {

using Json = nlohmann::ordered_json;

// One row of the item table as the view holds it (device bytes).
struct ItemRow {
    int number = 0;
    std::string label;
    std::string current;
    std::string newValue;
    bool ticked = false;
};

std::vector<ItemRow> Snapshot(CTirvel2View& view) {
    std::vector<ItemRow> rows;
    for (int n = 1; n <= g_nItemCount; ++n) {
        // What the device listed, and no placeholder for a number it skipped.
        if (!view.IsItemListed(n)) {
            continue;
        }
        // Reads the form first, as Modify does, so the ticks are the ones it will see.
        const bool ticked = view.ReadItemModify(n) != 0;
        rows.push_back({n, view.GetItemLabel(n), view.GetItemCurrentValue(n),
                        view.GetItemNewValue(n), ticked});
    }
    return rows;
}

// The rows as connected, as a record keeps them: what the device holds.
std::vector<records::RecordItem> SnapshotItems(const std::vector<ItemRow>& rows) {
    std::vector<records::RecordItem> items;
    for (const ItemRow& row : rows) {
        items.push_back({row.number, ItemLabelName(row.label, row.number), row.current,
                         std::nullopt, std::nullopt, false, ""});
    }
    return items;
}

std::string Shown(const std::string& bytes) {
    return fw::DecodeAnsi(bytes);
}

std::string ShownName(const ItemRow& row) {
    return Shown(ItemLabelName(row.label, row.number));
}

Json Identity(CTirvel2View& view) {
    Json j;
    j["imei"] = Shown(view.m_strImei);
    j["version"] = Shown(view.m_strVersion);
    return j;
}

void PrintIdentity(Console& console, CTirvel2View& view) {
    console.Out() << Console::Text(res::IDS_CLI_LABEL_IMEI) << ": "
                  << common::Printable(Shown(view.m_strImei)) << '\n'
                  << Console::Text(res::IDS_CLI_LABEL_VERSION) << ": "
                  << common::Printable(Shown(view.m_strVersion)) << "\n\n";
}

// Stop as the operator would, then the outcome; Ctrl+C meanwhile wins.
int Finish(ConsoleHost& host, int code) {
    host.Stop();
    return host.Interrupted() ? kInterruptedExitCode : code;
}

// Connects, and the device's record starts; the exit code when that did not work.
std::optional<int> ConnectOrExit(ConsoleHost& host) {
    switch (host.Connect()) {
        case Connection::Connected:
            host.Recorder().Start();
            return std::nullopt;
        case Connection::Interrupted:
            return kInterruptedExitCode;
        case Connection::Failed:
            break;
    }
    return kExitFailed;
}

// Modify, and then as many attempts again as this in all for the rows the
// read-back found wrong: a reply spoilt on the line fails Modify half-way, and
// a listing spoilt at the connection ticks rows with labels the device lacks.
constexpr int kWriteAttempts = 3;

std::string QuotedList(const std::vector<std::string>& names) {
    std::string list;
    for (const std::string& name : names) {
        list += (list.empty() ? "\"" : ", \"") + name + "\"";
    }
    return list;
}

// The item as the operator reads it: its form label where the device listed it.
std::string CheckedName(const ItemCheck& check) {
    if (check.found) {
        return Shown(ItemLabel(check.found->number, check.found->name));
    }
    return check.wanted.number != 0 ? std::to_string(check.wanted.number)
                                    : Shown(check.wanted.label);
}

std::vector<std::string> NamesWhere(const std::vector<ItemCheck>& checks,
                                    bool (ItemCheck::*pick)() const) {
    std::vector<std::string> names;
    for (const ItemCheck& check : checks) {
        if ((check.*pick)()) {
            names.push_back(CheckedName(check));
        }
    }
    return names;
}

// Says what the checks found wrong; true when nothing was.
bool ReportChecks(Console& console, const std::vector<ItemCheck>& checks) {
    bool ok = true;
    const std::pair<bool (ItemCheck::*)() const, fw::UINT> kinds[] = {
        {&ItemCheck::Unknown, res::IDS_CLI_READ_BACK_FAILED},
        {&ItemCheck::Unmatched, res::IDS_CLI_KEYS_UNMATCHED},
        {&ItemCheck::Differs, res::IDS_CLI_VALUES_DIFFER}};
    for (const auto& [pick, message] : kinds) {
        if (const std::vector<std::string> names = NamesWhere(checks, pick); !names.empty()) {
            console.Message(message, {QuotedList(names)});
            ok = false;
        }
    }
    return ok;
}

struct ModifyOutcome {
    bool ok = false;
    int written = 0;  // rows written that the device holds as asked
};

// Who tells a write's verdict: a command prints it (a table, or JSON) and
// keeps the device's record before it does; a batch tells it in the report's
// row, which keeps the record with it.
enum class VerdictBy { Table, Json, BatchRow };

// The row the item had as connected: by number, or by the label Import matched.
const ItemRow* RowBefore(const std::vector<ItemRow>& before, const WantedItem& want) {
    auto was = std::find_if(before.begin(), before.end(), [&](const ItemRow& row) {
        return want.number != 0 ? row.number == want.number : row.label == want.label;
    });
    return was != before.end() ? &*was : nullptr;
}

std::set<int> TickedRows(const std::vector<ItemRow>& rows) {
    std::set<int> ticked;
    for (const ItemRow& row : rows) {
        if (row.ticked) {
            ticked.insert(row.number);
        }
    }
    return ticked;
}

// Ticks again, with the wanted value, each row the read-back found wrong.
void TickWrongRows(CTirvel2View& view, const std::vector<ItemCheck>& checks, std::set<int>& sent) {
    for (int n = 1; n <= CTirvel2View::kItemRows; ++n) {
        if (view.ReadItemModify(n) != 0) {
            view.SetItemModify(n, 0);
        }
    }
    for (const ItemCheck& check : checks) {
        if (check.Differs()) {
            view.SetItemNewValue(check.found->number, check.wanted.value);
            view.SetItemModify(check.found->number, 1);
            sent.insert(check.found->number);
        }
    }
    view.UpdateData(false);
}

// Modify, then the read-back, and again for the rows found wrong, a few times.
std::vector<ItemCheck> WriteUntilHeld(ConsoleHost& host, Console& console,
                                      const std::vector<WantedItem>& wanted,
                                      station::DeviceObserver& told, std::set<int>& sent) {
    CTirvel2View& view = host.View();
    for (int attempt = 1;; ++attempt) {
        int ticked = 0;
        for (int n = 1; n <= CTirvel2View::kItemRows; ++n) {
            ticked += view.ReadItemModify(n) != 0 ? 1 : 0;
        }
        told.Step(station::DeviceStep::Writing, ticked);
        host.Command(res::ID_MODIFY);
        // A failed read-back in Modify closed the port: nothing can be known.
        if (host.Interrupted() || view.m_hComPort == INVALID_HANDLE_VALUE) {
            return CheckItems(wanted, ReadBack());
        }
        told.Step(station::DeviceStep::Checking);
        std::vector<ItemCheck> checks = CheckItems(
            wanted,
            ReadBackItems(view.m_hComPort, wanted, [&host] { return host.InterruptRequested(); }));
        const std::vector<std::string> wrong = NamesWhere(checks, &ItemCheck::Differs);
        if (wrong.empty() || attempt == kWriteAttempts || host.InterruptRequested()) {
            return checks;
        }
        console.Progress(
            res::IDS_CLI_WRITING_AGAIN,
            {QuotedList(wrong), std::to_string(attempt + 1), std::to_string(kWriteAttempts)});
        TickWrongRows(view, checks, sent);
    }
}

// What the record keeps of each wanted item: before, asked, after, written,
// and where the value came from (sources: one per item, or none at all).
std::vector<records::RecordItem> RecordItems(const std::vector<WantedItem>& wanted,
                                             const std::vector<ItemCheck>& checks,
                                             const std::vector<ItemRow>& before,
                                             const std::set<int>& sent,
                                             const std::vector<std::string>& sources) {
    std::vector<records::RecordItem> kept;
    for (std::size_t i = 0; i < wanted.size(); ++i) {
        const WantedItem& want = wanted[i];
        const std::optional<ListedItem>& found = checks[i].found;
        const ItemRow* was = RowBefore(before, want);
        const int number = found ? found->number : was != nullptr ? was->number : 0;
        kept.push_back({number,
                        found            ? found->name
                        : was != nullptr ? ItemLabelName(was->label, was->number)
                                         : want.label,
                        was != nullptr ? std::optional(was->current) : std::nullopt, want.value,
                        found ? std::optional(found->value) : std::nullopt,
                        checks[i].Holds() && sent.count(number) > 0,
                        i < sources.size() ? sources[i] : std::string()});
    }
    return kept;
}

// Keeps the record of the device on the view's port, with the identity the
// view read; false, having said why, when it could not be kept.
bool KeepViewRecord(ConsoleHost& host, Console& console, records::Result result,
                    const std::string& message, fw::UINT messageId) {
    CTirvel2View& view = host.View();
    return host.Recorder().Keep(PortLabel(view), view.m_strImei, view.m_strVersion, result, message,
                                messageId, console);
}

// The device's work ends with a command: its record is kept before the
// verdict is told, and a record not kept fails it. done: what an OK says.
bool KeepCommandRecord(ConsoleHost& host, Console& console, bool ok, fw::UINT done) {
    const records::Result result = host.Interrupted() ? records::Result::Interrupted
                                   : ok               ? records::Result::Ok
                                                      : records::Result::Failed;
    return KeepViewRecord(host, console, result, ok ? Console::Text(done) : console.LastMessage(),
                          ok ? done : console.LastMessageId()) &&
           ok;
}

// Prints the rows written or found wrong (rows equal from the start and still
// equal need no line), as a table or as the command's JSON document.
void PrintVerdict(Console& console, CTirvel2View& view,
                  const std::vector<records::RecordItem>& kept, bool ok, bool json) {
    Json items = Json::array();
    std::vector<std::vector<std::string>> table;
    for (const records::RecordItem& item : kept) {
        const bool holds = item.after == item.wanted;
        if (holds && !item.written) {
            continue;
        }
        const std::string name = Shown(item.name);
        if (json) {
            items.push_back({{"number", item.number != 0 ? Json(item.number) : Json(nullptr)},
                             {"name", name},
                             {"before", item.before ? Json(Shown(*item.before)) : Json(nullptr)},
                             {"new", Shown(*item.wanted)},
                             {"now", item.after ? Json(Shown(*item.after)) : Json(nullptr)},
                             {"written", holds}});
            continue;
        }
        table.push_back({item.number != 0 ? std::to_string(item.number) : "-", name,
                         item.before ? Shown(*item.before) : "-",
                         item.after ? Shown(*item.after) : "-",
                         Console::Text(holds ? res::IDS_CLI_YES : res::IDS_CLI_NO)});
    }
    if (json) {
        Json document = Identity(view);
        document["ok"] = ok;
        document["items"] = std::move(items);
        PrintJson(console, document);
    } else if (!table.empty()) {
        console.Out() << common::FormatTable({Console::Text(res::IDS_CLI_COLUMN_NUMBER),
                                              Console::Text(res::IDS_CLI_COLUMN_NAME),
                                              Console::Text(res::IDS_CLI_COLUMN_BEFORE),
                                              Console::Text(res::IDS_CLI_COLUMN_NOW),
                                              Console::Text(res::IDS_CLI_COLUMN_WRITTEN)},
                                             table)
                      << std::flush;
    }
}

// Writes the rows ticked now, then judges every wanted item on what the device
// lists when asked twice alike; Modify's own boxes decide nothing, since its
// replies and its read-back can be spoilt on the line either way. Rows found
// wrong are written again, a few times. The exit code, the table, the JSON
// and the report all come from the one judgement.
ModifyOutcome WriteAndCheck(ConsoleHost& host, Console& console,
                            const std::vector<WantedItem>& wanted, VerdictBy verdictBy,
                            station::DeviceObserver* observer = nullptr,
                            const std::vector<std::string>& sources = {}) {
    station::DeviceObserver nobody;
    const std::vector<ItemRow> before = Snapshot(host.View());
    std::set<int> sent = TickedRows(before);
    const std::vector<ItemCheck> checks =
        WriteUntilHeld(host, console, wanted, observer != nullptr ? *observer : nobody, sent);

    ModifyOutcome outcome;
    outcome.ok = ReportChecks(console, checks);
    const std::vector<records::RecordItem> items =
        RecordItems(wanted, checks, before, sent, sources);
    host.Recorder().SetItems(items);
    if (verdictBy != VerdictBy::BatchRow) {
        outcome.ok = KeepCommandRecord(host, console, outcome.ok, res::IDS_CLI_READ_BACK_HOLDS);
    }
    if (outcome.ok) {
        console.Progress(res::IDS_CLI_READ_BACK_HOLDS);
    }
    outcome.written = static_cast<int>(std::count_if(
        items.begin(), items.end(), [](const records::RecordItem& item) { return item.written; }));
    // Only what is printed is made: a profile may name many thousands of keys
    // the device does not have, each a row.
    if (verdictBy != VerdictBy::BatchRow) {
        PrintVerdict(console, host.View(), items, outcome.ok, verdictBy == VerdictBy::Json);
    }
    return outcome;
}

}  // namespace

void PrintJson(Console& console, const nlohmann::ordered_json& document) {
    console.Out() << common::InertJson(document.dump(2, ' ', false, Json::error_handler_t::replace))
                  << '\n'
                  << std::flush;
}

int RunPorts(Console& console, bool json) {
    const std::vector<serial::ComPortEntry> ports = serial::ListComPorts();
    if (json) {
        Json list = Json::array();
        for (const auto& p : ports) {
            list.push_back({{"number", p.number},
                            {"device", p.device},
                            {"pinned", p.pinned},
                            {"present", p.present}});
        }
        PrintJson(console, list);
        return kExitOk;
    }
    if (ports.empty()) {
        console.Message(res::IDS_CLI_NO_PORTS);
        return kExitOk;
    }
    std::vector<std::vector<std::string>> rows;
    for (const auto& p : ports) {
        std::string notes;
        if (p.pinned) {
            notes = Console::Text(res::IDS_CLI_PINNED);
        }
        if (!p.present) {
            notes += (notes.empty() ? "" : ", ") + Console::Text(res::IDS_CLI_MISSING);
        }
        rows.push_back({"COM" + std::to_string(p.number), p.device, notes});
    }
    console.Out() << common::FormatTable({Console::Text(res::IDS_CLI_COLUMN_PORT),
                                          Console::Text(res::IDS_CLI_COLUMN_DEVICE), ""},
                                         rows)
                  << std::flush;
    return kExitOk;
}

int RunRead(ConsoleHost& host, Console& console, bool json) {
    if (auto code = ConnectOrExit(host)) {
        return *code;
    }
    CTirvel2View& view = host.View();
    const std::vector<ItemRow> rows = Snapshot(view);
    host.Recorder().SetItems(SnapshotItems(rows));
    const bool kept = KeepViewRecord(host, console, records::Result::Ok, "", 0);
    if (json) {
        Json document = Identity(view);
        Json items = Json::array();
        for (const ItemRow& row : rows) {
            items.push_back(
                {{"number", row.number}, {"name", ShownName(row)}, {"value", Shown(row.current)}});
        }
        document["items"] = std::move(items);
        PrintJson(console, document);
    } else {
        PrintIdentity(console, view);
        std::vector<std::vector<std::string>> table;
        for (const ItemRow& row : rows) {
            table.push_back({std::to_string(row.number), ShownName(row), Shown(row.current)});
        }
        console.Out() << common::FormatTable({Console::Text(res::IDS_CLI_COLUMN_NUMBER),
                                              Console::Text(res::IDS_CLI_COLUMN_NAME),
                                              Console::Text(res::IDS_CLI_COLUMN_VALUE)},
                                             table)
                      << std::flush;
    }
    return Finish(host, kept ? kExitOk : kExitFailed);
}

int RunExport(ConsoleHost& host, Console& console, const std::string& file, bool json) {
    if (auto code = ConnectOrExit(host)) {
        return *code;
    }
    const std::size_t mark = host.MessageMark();
    host.Recorder().SetItems(SnapshotItems(Snapshot(host.View())));
    host.ChooseFile(file);
    host.Command(res::IDC_EXPORT_CONFIG);
    const bool exported = host.ShownSince(mark, res::IDS_EXPORT_SUCCEEDED);
    const bool ok =
        KeepViewRecord(host, console, exported ? records::Result::Ok : records::Result::Failed,
                       console.LastMessage(), console.LastMessageId()) &&
        exported;
    if (json) {
        Json document = Identity(host.View());
        document["file"] = file;
        document["ok"] = ok;
        PrintJson(console, document);
    }
    return Finish(host, ok ? kExitOk : kExitFailed);
}

namespace {

// A batch writes what its profile and its table name and nothing else: the
// rows they do not name keep each device's own values (a device ID, say),
// even where the connection's automatic tick found them different from the
// new values.
void UntickRowsNotIn(CTirvel2View& view, const std::set<std::string>& keys,
                     const job::ValuesTable* values) {
    std::set<int> columns;
    for (const job::ValuesColumn& column :
         values != nullptr ? values->Columns() : std::vector<job::ValuesColumn>()) {
        columns.insert(column.number);
    }
    for (int n = 1; n <= CTirvel2View::kItemRows; ++n) {
        if (keys.count(view.GetItemLabel(n)) == 0 && columns.count(n) == 0 &&
            view.ReadItemModify(n) != 0) {
            view.SetItemModify(n, 0);
        }
    }
}

// The profile's keys and the table's columns this device did not list, as
// the operator reads them. A row whose label did not come through (a listing
// spoilt on the line, another model) would be left out by the untick above
// and keep its old value while the device is reported done; such a device is
// written nothing and fails.
std::string KeysNotListed(CTirvel2View& view, const std::set<std::string>& keys,
                          const job::ValuesTable* values) {
    std::set<std::string> listed;
    for (int n = 1; n <= CTirvel2View::kItemRows; ++n) {
        listed.insert(view.GetItemLabel(n));
    }
    std::vector<std::string> missing;
    for (const std::string& key : keys) {
        if (listed.count(key) == 0) {
            missing.push_back(Shown(key));
        }
    }
    for (const job::ValuesColumn& column :
         values != nullptr ? values->Columns() : std::vector<job::ValuesColumn>()) {
        if (column.label.empty() ? !view.IsItemListed(column.number)
                                 : listed.count(column.label) == 0) {
            missing.push_back(column.label.empty() ? std::to_string(column.number)
                                                   : Shown(column.label));
        }
    }
    return QuotedList(missing);
}

// The pool's columns this device did not list, as the operator reads them.
std::string PoolColumnsNotListed(CTirvel2View& view, const job::DrawnRow& drawn) {
    std::vector<std::string> missing;
    for (const job::ValuesColumn& column : drawn.columns) {
        const bool listed = column.label.empty() ? view.IsItemListed(column.number)
                                                 : view.GetItemLabel(column.number) == column.label;
        if (!listed) {
            missing.push_back(column.label.empty() ? std::to_string(column.number)
                                                   : Shown(column.label));
        }
    }
    return QuotedList(missing);
}

// A row found by the IMEI, or tied to it, must be the device's own: one
// digit spoilt on the line into another digit is an IMEI whole in form, and
// would give this device another's values. So the IMEI is asked again until
// a reading agrees with the first, a few times.
bool ImeiReadsAgain(CTirvel2View& view, Console& console) {
    std::string last = "-";
    for (int attempt = 0; attempt < 3; ++attempt) {
        const std::optional<std::string> again = view.QueryImei();
        if (again && *again == view.m_strImei) {
            return true;
        }
        if (again) {
            last = *again;
        }
    }
    console.Message(res::IDS_VALUES_IMEI_UNSURE,
                    {fw::DecodeAnsi(view.m_strImei), fw::DecodeAnsi(last)});
    return false;
}

// The device's own values set on its rows, once every item they and keys
// name is one the device listed; null, having said why, when it cannot be
// given them. Only the rows named stay ticked. A pool's row drawn for the
// device goes back when it is given nothing.
std::optional<DeviceWanted> OwnValuesOn(CTirvel2View& view, Console& console,
                                        const BatchProfile& profile,
                                        const std::set<std::string>& keys) {
    if (const std::string missing = KeysNotListed(view, keys, profile.values); !missing.empty()) {
        console.Message(res::IDS_CLI_BATCH_KEYS_MISSING, {missing});
        return std::nullopt;
    }
    if ((profile.values != nullptr || profile.pool != nullptr) && !ImeiReadsAgain(view, console)) {
        return std::nullopt;
    }
    std::optional<job::DrawnRow> drawn;
    if (profile.pool != nullptr) {
        drawn = profile.pool->Draw(view.m_strImei, console);
        if (!drawn) {
            return std::nullopt;
        }
        if (const std::string missing = PoolColumnsNotListed(view, *drawn); !missing.empty()) {
            console.Message(res::IDS_CLI_BATCH_KEYS_MISSING, {missing});
            profile.pool->NothingSent();
            return std::nullopt;
        }
    }
    std::optional<DeviceWanted> wanted =
        WantedFor(view, console, profile, drawn ? &*drawn : nullptr);
    if (!wanted) {
        if (profile.pool != nullptr) {
            profile.pool->NothingSent();
        }
        return std::nullopt;
    }
    UntickRowsNotIn(view, profile.keys, profile.values);
    SetOwnValues(view, *wanted);
    return wanted;
}

// After the write's verdict: a pool's row the device holds is its for good.
void SettlePoolRow(CTirvel2View& view, Console& console, const BatchProfile& profile, bool held) {
    if (profile.pool == nullptr || !held || profile.pool->Written()) {
        return;
    }
    console.Progress(res::IDS_POOL_MARK_FAILED,
                     {profile.pool->Name(), std::to_string(profile.pool->RowDrawn()),
                      fw::DecodeAnsi(view.m_strImei)});
}

}  // namespace

int RunApply(ConsoleHost& host, Console& console, const BatchProfile& profile, bool json) {
    if (auto code = ConnectOrExit(host)) {
        return *code;
    }
    const std::size_t mark = host.MessageMark();
    host.View().ImportConfig(profile.bytes);
    // Every key of the file is judged, also those Import matched with no row:
    // left out silently, they would keep the device's old values under an OK.
    // The table's columns are this device's alone, and must all be its items.
    std::optional<DeviceWanted> wanted;
    if (host.ShownSince(mark, res::IDS_IMPORT_SUCCEEDED)) {
        wanted = OwnValuesOn(host.View(), console, profile, std::set<std::string>());
    }
    if (!wanted) {
        KeepViewRecord(host, console, records::Result::Failed, console.LastMessage(),
                       console.LastMessageId());
        return Finish(host, kExitFailed);
    }
    console.Progress(res::IDS_CLI_ITEMS_DIFFER,
                     {std::to_string(TickedRows(Snapshot(host.View())).size())});
    const ModifyOutcome outcome =
        WriteAndCheck(host, console, wanted->items, json ? VerdictBy::Json : VerdictBy::Table,
                      nullptr, wanted->sources);
    SettlePoolRow(host.View(), console, profile, outcome.ok);
    return Finish(host, outcome.ok ? kExitOk : kExitFailed);
}

int RunSet(ConsoleHost& host, Console& console, const std::vector<ItemAssignment>& assignments,
           bool json) {
    if (auto code = ConnectOrExit(host)) {
        return *code;
    }
    CTirvel2View& view = host.View();
    for (const ItemAssignment& a : assignments) {
        // Modify goes up to the device's last item only: a number beyond it
        // would be dropped without a word.
        if (a.number > g_nItemCount) {
            console.Message(res::IDS_CLI_NO_SUCH_ITEM,
                            {std::to_string(a.number), std::to_string(g_nItemCount)});
            return Finish(host, kExitUsage);
        }
    }
    std::vector<WantedItem> wanted;
    for (const ItemAssignment& a : assignments) {
        wanted.push_back({a.number, std::string(), fw::EncodeAnsi(a.value)});
        view.SetItemNewValue(a.number, wanted.back().value);
        view.SetItemModify(a.number, 1);
    }
    view.UpdateData(false);
    const ModifyOutcome outcome =
        WriteAndCheck(host, console, wanted, json ? VerdictBy::Json : VerdictBy::Table);
    return Finish(host, outcome.ok ? kExitOk : kExitFailed);
}

int RunRestore(ConsoleHost& host, Console& console, bool json) {
    if (auto code = ConnectOrExit(host)) {
        return *code;
    }
    CTirvel2View& view = host.View();
    const std::vector<ItemRow> before = Snapshot(view);
    const std::size_t mark = host.MessageMark();
    host.Command(res::ID_RESTORE);
    // What the restore changed is read twice alike: one spoilt listing would
    // report changes that did not happen, or hide those that did.
    std::vector<WantedItem> rows;
    for (const ItemRow& row : before) {
        rows.push_back({row.number, std::string(), row.current});
    }
    bool ok = host.ShownSince(mark, res::IDS_RESTORE_SUCCEEDED) &&
              !host.ShownSince(mark, res::IDS_READ_CONFIG_FAILED);
    std::vector<ItemCheck> checks;
    if (ok) {
        checks = CheckItems(rows, ReadBackItems(view.m_hComPort, rows,
                                                [&host] { return host.InterruptRequested(); }));
        // Every row was listed before the restore, so the device has it: one
        // the read-back did not find is unknown, not gone (a line can be lost
        // in every reading).
        if (const std::vector<std::string> unknown = NamesWhere(checks, &ItemCheck::Missing);
            !unknown.empty()) {
            console.Message(res::IDS_CLI_READ_BACK_FAILED, {QuotedList(unknown)});
            ok = false;
        }
    }
    std::vector<records::RecordItem> kept = SnapshotItems(before);
    Json changed = Json::array();
    std::vector<std::vector<std::string>> table;
    // The checks are the rows', one each, in order.
    for (std::size_t i = 0; i < checks.size(); ++i) {
        const ItemCheck& check = checks[i];
        const ItemRow& row = before[i];
        if (check.found) {
            kept[i].after = check.found->value;
        }
        if (check.Holds()) {
            continue;
        }
        const std::string now = check.found ? Shown(check.found->value) : "-";
        changed.push_back({{"number", row.number},
                           {"name", ShownName(row)},
                           {"before", Shown(row.current)},
                           {"now", check.found ? Json(now) : Json(nullptr)}});
        table.push_back({std::to_string(row.number), ShownName(row), Shown(row.current), now});
    }
    host.Recorder().SetItems(std::move(kept));
    ok = KeepCommandRecord(host, console, ok, res::IDS_RESTORE_SUCCEEDED);
    if (json) {
        Json document = Identity(view);
        document["ok"] = ok;
        // A restore not known to be done changed nothing the operator can rely on.
        document["changed"] = ok ? changed : Json::array();
        PrintJson(console, document);
    } else if (ok) {
        console.Progress(res::IDS_CLI_RESTORE_CHANGED, {std::to_string(table.size())});
        if (!table.empty()) {
            console.Out() << common::FormatTable({Console::Text(res::IDS_CLI_COLUMN_NUMBER),
                                                  Console::Text(res::IDS_CLI_COLUMN_NAME),
                                                  Console::Text(res::IDS_CLI_COLUMN_BEFORE),
                                                  Console::Text(res::IDS_CLI_COLUMN_NOW)},
                                                 table)
                          << std::flush;
        }
    }
    return Finish(host, ok ? kExitOk : kExitFailed);
}

namespace {

// A batch's report is the line's record of which device got what: a device
// whose IMEI did not come through whole (noise on the line) is not written, so
// that no OK is ever filed under a number that is not the device's.
bool IsWholeImei(const std::string& imei) {
    return imei.size() == 15 &&
           std::all_of(imei.begin(), imei.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A port that has not yet given a device, whose first try failed all the
// same: something answered there (a line babbling whole "OK" lines answers
// every probe), but nothing the batch could take for a device. Every later
// try would fail alike and as fast, so the port is given up after this one
// row, which no count takes as a device.
// why: how the try failed, as the operator reads it.
station::DeviceOutcome GaveNoDevice(Console& console, const std::string& why,
                                    station::DeviceRow& row) {
    console.Message(res::IDS_CLI_PORT_GAVE_NO_DEVICE, {why});
    row.message = console.LastMessage();
    return station::DeviceOutcome::PortFailed;
}

}  // namespace

BatchProfile MakeBatchProfile(std::string bytes, const job::ValuesTable* values,
                              std::string valuesName, job::DevicePool* pool) {
    BatchProfile profile;
    profile.pool = pool;
    profile.wanted = ProfileItems(bytes);
    profile.bytes = std::move(bytes);
    profile.values = values;
    profile.valuesName = std::move(valuesName);
    for (const WantedItem& item : profile.wanted) {
        profile.keys.insert(item.label);
    }
    return profile;
}

std::string PortLabel(CTirvel2View& view) {
    return view.m_strDevicePath.empty() ? "COM" + std::to_string(view.m_nComPort)
                                        : view.m_strDevicePath;
}

station::DeviceOutcome BatchDevice(ConsoleHost& host, Console& console, const BatchProfile& profile,
                                   BatchPort& port, station::DeviceObserver& observer,
                                   station::DeviceRow& row) {
    CTirvel2View& view = host.View();
    const std::size_t mark = host.MessageMark();
    observer.Step(station::DeviceStep::Waiting);
    const Connection connection = host.Connect();
    if (connection == Connection::Interrupted) {
        return station::DeviceOutcome::Interrupted;
    }
    row.port = PortLabel(view);
    row.time = station::LocalTime();
    row.imei = Shown(view.m_strImei);
    row.version = Shown(view.m_strVersion);
    station::DeviceOutcome outcome = station::DeviceOutcome::Done;
    if (connection == Connection::Failed) {
        // A line that only babbles is no better than a port that does not
        // open: waiting for the next device would bring the same noise.
        if (host.ShownSince(mark, res::IDS_OPEN_PORT_FAILED) ||
            host.ShownSince(mark, res::IDS_LINE_NOISE)) {
            outcome = station::DeviceOutcome::PortFailed;
        } else if (host.ShownSince(mark, res::IDS_STARTUP_TIMEOUT)) {
            outcome = station::DeviceOutcome::NoDevice;
        } else if (!port.proven) {
            return GaveNoDevice(console, console.LastMessage(), row);
        } else if (!observer.Claim()) {
            return station::DeviceOutcome::Surplus;
        } else {
            // A device answered and was refused (a wrong password, say): worked, and failed.
            host.Recorder().Start();
        }
        row.message = console.LastMessage();
        host.Recorder().KeepRow(row, view.m_strImei, view.m_strVersion, host.Interrupted(),
                                console);
        return outcome;
    }
    observer.Step(station::DeviceStep::Connected);
    observer.Identity(row.imei, row.version);
    const bool wholeImei = IsWholeImei(view.m_strImei);
    if (!wholeImei && !port.proven) {
        host.Stop();
        return GaveNoDevice(console, Console::Text(res::IDS_CLI_BATCH_IMEI_GARBLED, {row.imei}),
                            row);
    }
    if (!wholeImei) {
        console.Message(res::IDS_CLI_BATCH_IMEI_GARBLED, {row.imei});
    }
    if (!observer.Claim()) {
        host.Stop();
        return station::DeviceOutcome::Surplus;
    }
    port.proven = port.proven || wholeImei;
    host.Recorder().Start();
    bool ready = wholeImei;
    const bool importHere = ready && !port.imported;
    if (importHere) {
        // Import matches the file's keys with the labels a connected device
        // gave the rows, so it waits for the first device.
        const std::size_t importMark = host.MessageMark();
        view.ImportConfig(profile.bytes);
        port.imported = host.ShownSince(importMark, res::IDS_IMPORT_SUCCEEDED);
        if (!port.imported) {
            console.Message(res::IDS_CLI_BATCH_PROFILE_FAILED);
            ready = false;
            outcome = station::DeviceOutcome::JobFailed;
        }
    }
    std::optional<DeviceWanted> wanted;
    if (ready) {
        // Later devices had their differing rows ticked by the connection
        // itself, under the preset flag; OwnValuesOn unticks them.
        wanted = OwnValuesOn(view, console, profile, profile.keys);
        // An import that missed rows left their new values unset; the next
        // device imports the whole file again.
        port.imported = port.imported && (wanted.has_value() || !importHere);
    }
    if (wanted) {
        if (const std::string sources = OwnSources(*wanted); !sources.empty()) {
            observer.Values(sources);
        }
        const ModifyOutcome written = WriteAndCheck(
            host, console, wanted->items, VerdictBy::BatchRow, &observer, wanted->sources);
        row.ok = written.ok;
        row.written = written.written;
        SettlePoolRow(view, console, profile, written.ok);
    }
    host.Stop();
    row.message = console.LastMessage();
    host.Recorder().KeepRow(row, view.m_strImei, view.m_strVersion, host.Interrupted(), console);
    return outcome;
}

int RunBatch(ConsoleHost& host, Console& console, const BatchSettings& settings, bool json) {
    job::DeviceReport report(job::ReportKind::Batch, settings.reportPath);
    PrintReportLines(report, json, [&console](const std::string& line) {
        console.Out() << line << '\n' << std::flush;
    });
    if (!report.Open()) {
        console.Message(res::IDS_CLI_REPORT_FAILED, {settings.reportPath});
        return kExitFailed;
    }
    const BatchProfile profile =
        MakeBatchProfile(settings.profile, settings.values, settings.valuesFile, settings.pool);
    station::DeviceObserver nobody;
    BatchPort port;
    bool reportFailed = false;
    int devices = 0;
    int failures = 0;
    bool interrupted = false;
    while (settings.count == 0 || devices < settings.count) {
        console.Progress(res::IDS_CLI_BATCH_DEVICE, {std::to_string(devices + 1)});
        console.ForgetLastMessage();
        station::DeviceRow row;
        station::DeviceOutcome outcome = BatchDevice(host, console, profile, port, nobody, row);
        if (outcome == station::DeviceOutcome::NoDevice && !port.proven) {
            // As a station gives up a port that never saw a device: whatever
            // the line carried in this window, the next would bring the same,
            // and a row each time, for ever.
            outcome = GaveNoDevice(console, row.message, row);
        }
        if (outcome == station::DeviceOutcome::Interrupted) {
            interrupted = true;
            break;
        }
        ++devices;
        failures += row.ok ? 0 : 1;
        if (!report.Add(row) && !reportFailed) {
            reportFailed = true;
            console.Message(res::IDS_CLI_REPORT_FAILED, {settings.reportPath});
        }
        if (host.Interrupted()) {
            interrupted = true;
            break;
        }
        // No later device can do better: the profile does not import, or the
        // port does not open or has given no device (a batch would fill its
        // report with the same failure as fast as the port refuses).
        if (outcome == station::DeviceOutcome::JobFailed ||
            outcome == station::DeviceOutcome::PortFailed) {
            break;
        }
    }
    console.Progress(
        res::IDS_CLI_BATCH_SUMMARY,
        {std::to_string(devices), std::to_string(devices - failures), std::to_string(failures)});
    if (interrupted) {
        return kInterruptedExitCode;
    }
    return failures == 0 && !reportFailed ? kExitOk : kExitFailed;
}

}  // namespace cli
