#include "cli/OwnValues.h"

#include <optional>
#include <set>

#include "framework/CodePage.h"
#include "job/ValuePatterns.h"
#include "res/RecordIds.h"
#include "res/ResourceIds.h"

namespace cli {
namespace {

// The row an item is on: its number, or the number its key starts with when
// the device gave that row this very label.
int RowOf(CTirvel2View& view, const WantedItem& item) {
    if (item.number != 0) {
        return item.number;
    }
    const int number = job::ItemNamed(item.label).number;
    return number != 0 && view.GetItemLabel(number) == item.label ? number : 0;
}

}  // namespace

std::optional<DeviceWanted> WantedFor(CTirvel2View& view, Console& console,
                                      const BatchProfile& profile, const job::DrawnRow* drawn) {
    const job::DeviceIdentity device{view.m_strImei, view.m_strVersion};
    std::optional<job::ValuesRow> row;
    if (profile.values != nullptr) {
        row = profile.values->Find(device.imei);
        if (!row) {
            console.Message(res::IDS_VALUES_NO_ROW, {fw::DecodeAnsi(device.imei)});
            return std::nullopt;
        }
    }
    // Where the table and the profile both name an item, the row wins.
    std::set<int> fromTable;
    if (row) {
        for (const job::ValuesColumn& column : profile.values->Columns()) {
            fromTable.insert(column.number);
        }
    }
    // One item, two values of the device's own: neither can be the one meant.
    if (drawn != nullptr) {
        for (const job::ValuesColumn& column : drawn->columns) {
            if (!fromTable.insert(column.number).second) {
                console.Message(
                    res::IDS_POOL_ITEM_TWICE,
                    {std::to_string(column.number), profile.valuesName, profile.pool->Name()});
                return std::nullopt;
            }
        }
    }
    DeviceWanted wanted;
    for (const WantedItem& item : profile.wanted) {
        if (fromTable.count(job::ItemNamed(item.label).number) != 0) {
            continue;
        }
        // A key that names no item was not checked, and is not expanded either.
        const bool pattern = job::HasPattern(item.value) && job::PatternFault(item.value).empty();
        wanted.items.push_back({item.number, item.label,
                                pattern ? job::ExpandPatterns(item.value, device) : item.value});
        wanted.sources.push_back(pattern ? "pattern" : "");
        wanted.own.push_back(pattern);
    }
    if (row) {
        const std::vector<job::ValuesColumn>& columns = profile.values->Columns();
        const std::string source = profile.valuesName + " line " + std::to_string(row->line);
        for (std::size_t i = 0; i < columns.size(); ++i) {
            wanted.items.push_back({columns[i].label.empty() ? columns[i].number : 0,
                                    columns[i].label, job::ExpandPatterns(row->Value(i), device)});
            wanted.sources.push_back(source);
            wanted.own.push_back(true);
        }
    }
    if (drawn != nullptr) {
        for (std::size_t i = 0; i < drawn->columns.size(); ++i) {
            const job::ValuesColumn& column = drawn->columns[i];
            wanted.items.push_back({column.label.empty() ? column.number : 0, column.label,
                                    job::ExpandPatterns(drawn->cells[i], device)});
            wanted.sources.push_back(drawn->source);
            wanted.own.push_back(true);
        }
    }
    for (std::size_t i = 0; i < wanted.items.size(); ++i) {
        const WantedItem& item = wanted.items[i];
        if (wanted.own[i] && !job::IsSendable(item.value)) {
            console.Message(
                res::IDS_VALUES_NOT_SENDABLE,
                {fw::DecodeAnsi(item.number != 0 ? std::to_string(item.number) : item.label),
                 fw::DecodeAnsi(item.value), std::to_string(job::kMaxValueBytes)});
            return std::nullopt;
        }
    }
    return wanted;
}

std::string OwnSources(const DeviceWanted& wanted) {
    std::string joined;
    for (std::size_t i = 0; i < wanted.sources.size(); ++i) {
        const std::string& source = wanted.sources[i];
        if (!wanted.own[i] || source.empty() || source == "pattern" ||
            (i > 0 && wanted.sources[i - 1] == source)) {
            continue;
        }
        joined += (joined.empty() ? "" : ", ") + source;
    }
    return joined;
}

void SetOwnValues(CTirvel2View& view, const DeviceWanted& wanted) {
    bool any = false;
    for (std::size_t i = 0; i < wanted.items.size(); ++i) {
        const int n = wanted.own[i] ? RowOf(view, wanted.items[i]) : 0;
        if (n == 0) {
            continue;
        }
        const std::string& value = wanted.items[i].value;
        view.SetItemNewValue(n, value);
        view.SetItemModify(n, view.GetItemCurrentValue(n) != value ? 1 : 0);
        any = true;
    }
    if (any) {
        view.UpdateData(false);
    }
}

}  // namespace cli
