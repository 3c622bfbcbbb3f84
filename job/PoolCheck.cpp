#include "job/PoolCheck.h"

#include <algorithm>
#include <optional>

#include "framework/StringTable.h"
#include "job/RecordsForwarding.h"
#include "res/RecordIds.h"

namespace job {

std::string PoolRefusal(const records::RecordsSetting& where, const std::string& pool,
                        const ValuesTable* table, const std::string& valuesName) {
    if (pool.empty()) {
        return {};
    }
    // A row is tied to its device in the records: without them a device
    // worked again would draw a second row, and rows would be lost.
    if (where.kind == records::RecordsSetting::Kind::Off) {
        return fw::LoadText(res::IDS_POOL_NEEDS_RECORDS, {pool});
    }
    std::optional<records::PoolStatus> status;
    try {
        status = OpenPoolLookupStore(where)->Status(pool);
    } catch (const records::PoolError& e) {
        if (e.reason() == records::PoolError::Reason::Unknown) {
            return fw::LoadText(res::IDS_POOL_UNKNOWN, {pool});
        }
        return {};
    } catch (const records::StoreError&) {
        // Unreachable, or a records file at fault, which the recorder's own
        // check tells in its words.
        return {};
    }
    if (table == nullptr) {
        return {};
    }
    // Two sources for one item would leave the device's value to the order
    // they are laid over the profile in.
    for (const std::string& column : status->columns) {
        const int number = ItemNamed(column).number;
        const auto& named = table->Columns();
        if (number != 0 && std::any_of(named.begin(), named.end(), [number](const ValuesColumn& c) {
                return c.number == number;
            })) {
            return fw::LoadText(res::IDS_POOL_ITEM_TWICE,
                                {std::to_string(number), valuesName, pool});
        }
    }
    return {};
}

}  // namespace job
