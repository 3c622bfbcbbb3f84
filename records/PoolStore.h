// Value pools: lists of rows a customer issues (a device ID and a password
// per device, say), imported once, each row going to one device only. A
// device takes the next free row and keeps it: no row is ever given to two
// devices, however many stations draw from one pool at once. The station's
// own file holds pools for one station; the line's server holds them for all.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "records/RecordStore.h"

namespace records {

// What a pool call refuses, beside the store's own troubles (StoreError's
// other kinds). The message is for the operator as it is.
class PoolError : public StoreError {
public:
    enum class Reason {
        Unknown,    // no pool of that name: "no value pool named …"
        Exists,     // Import of a name already taken: "a value pool named … exists already"
        Malformed,  // Import of rows whose cells do not match the columns, or of no columns
        NotTied,    // MarkWritten of a row not tied to that IMEI
    };
    PoolError(Reason reason, const std::string& detail)
        : StoreError(StoreError::Kind::Other, detail), reason_(reason) {}
    Reason reason() const { return reason_; }

private:
    Reason reason_;
};

// A row as the pool's file gave it.
struct PoolImportRow {
    int line = 0;                    // its line in the file, for messages and records
    std::vector<std::string> cells;  // bytes, one per column, given back exactly
};

// Reserved: set aside on the server for one station (its station), to draw
// from while the server cannot be reached; no other station draws it.
enum class PoolRowState { Free, Reserved, Tied, Written };

// A row as a device holds it.
struct PoolRow {
    std::string pool;
    std::int64_t id = 0;  // its place in the pool, 1 … in the file's order
    int line = 0;
    PoolRowState state = PoolRowState::Free;
    std::string imei;  // bytes, as the device told it
    std::string station;
    std::string tiedAt;  // UTC, "2026-12-09T10:11:12.345Z"
    std::optional<std::string> writtenAt;
    std::vector<std::string> cells;  // in the pool's column order
    // Draw: tied to the IMEI by this very call, not held by it before. Only
    // such a row may be given back when nothing reached the device: one held
    // before may be on the device from an earlier try.
    bool drawnNow = false;

    // The row as the pool holds it; how a Draw came by it is no part of that.
    bool operator==(const PoolRow& other) const {
        return pool == other.pool && id == other.id && line == other.line && state == other.state &&
               imei == other.imei && station == other.station && tiedAt == other.tiedAt &&
               writtenAt == other.writtenAt && cells == other.cells;
    }
};

struct PoolStatus {
    std::string name;
    // The item each cell fills, as the file's heading named it ("2. APN", "2").
    std::vector<std::string> columns;
    std::string importedAt;
    std::int64_t rows = 0;
    std::int64_t tied = 0;     // taken by a device, not yet written to it
    std::int64_t written = 0;  // borne out by the device: its for good
    std::int64_t free = 0;
    std::int64_t reserved = 0;  // set aside for a station (the server's pools)

    bool operator==(const PoolStatus&) const = default;
};

class PoolStore {
public:
    virtual ~PoolStore() = default;

    // A new pool, all there or not at all. Throws PoolError Exists for a
    // name taken (the caller shows the message and names the pool to use
    // instead), Malformed for rows whose cells are not one per column.
    virtual void Import(const std::string& name, const std::vector<std::string>& columns,
                        const std::vector<PoolImportRow>& rows) = 0;
    // The row tied to this IMEI already (a device worked again gets its row
    // back, written or not), else the next free row, tied to the IMEI and
    // the station before this returns. nullopt: the pool has no free row.
    // Throws PoolError Unknown for a pool that is not there.
    virtual std::optional<PoolRow> Draw(const std::string& name, const std::string& imei,
                                        const std::string& station) = 0;
    // The device bears the row out: it stays the IMEI's for good. Again for
    // a row written is no change. Throws PoolError NotTied for a row that
    // is not this IMEI's.
    virtual void MarkWritten(const std::string& name, std::int64_t rowId,
                             const std::string& imei) = 0;
    // Nothing of the row reached the device: it goes back to the pool, as the
    // next one drawn. Only a row tied to this IMEI and not written; false
    // (and nothing changed) for any other.
    virtual bool Release(const std::string& name, std::int64_t rowId, const std::string& imei) = 0;
    virtual PoolStatus Status(const std::string& name) = 0;
    // Every pool, by name.
    virtual std::vector<PoolStatus> List() = 0;
    // The rows tied to a device, in every pool, by pool name.
    virtual std::vector<PoolRow> ForImei(const std::string& imei) = 0;
};

// What both stores say and check alike.
// "free", "reserved", "tied", "written": the state column's words.
const char* StateName(PoolRowState state);
PoolRowState StateNamed(const std::string& name);
PoolError UnknownPool(const std::string& name);
PoolError PoolExists(const std::string& name);
PoolError NotTiedTo(const std::string& name, std::int64_t rowId);
// Throws PoolError Malformed unless there are columns, a name, and each row
// has a cell for every column.
void CheckImport(const std::string& name, const std::vector<std::string>& columns,
                 const std::vector<PoolImportRow>& rows);

}  // namespace records
