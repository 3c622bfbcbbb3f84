// A line's pools as a station draws from them: on the server, and, while the
// server cannot be reached, from a block of rows the server reserved for
// this station before, kept in the station's own file. A row drawn so is
// one the server set aside for this station alone: none is ever made up.
// The ties made offline go to the server, each to the same IMEI, at the
// next call that reaches it.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "common/NonCopyable.h"
#include "records/ServerPoolStore.h"
#include "records/SqlitePoolStore.h"

namespace records {

class LinePoolStore : public PoolStore, NonCopyable {
public:
    // The block a station keeps: one row for each of its ports, for the
    // devices on them when the server goes, and two more for a device
    // worked again or a port that finishes first. Another station cannot
    // draw these rows even when this one never comes back: a reserved row
    // can be freed on the server by hand (docs/values.md).
    static int BlockFor(int ports) { return ports + 2; }

    // Nothing is asked of the server here: a station cut off from it opens
    // its pools all the same. Throws StoreError for the file.
    LinePoolStore(const std::string& uri, const std::string& localPath, std::string station,
                  int block, std::chrono::milliseconds connectTimeout = std::chrono::seconds(5));

    void Import(const std::string& name, const std::vector<std::string>& columns,
                const std::vector<PoolImportRow>& rows) override;
    // On the server, which then tops this station's block up; once the
    // server has no free row left, from this station's block, tied on the
    // server at once: a pool is drawn to its last row. A server that
    // cannot be reached: the IMEI's row here, else the next row of the
    // block; StoreError (Kind::Open) when the block is used up or was never
    // reserved. station: this store's, whatever is given.
    std::optional<PoolRow> Draw(const std::string& name, const std::string& imei,
                                const std::string& station) override;
    // Also offline, for a row drawn offline (sent with its tie).
    void MarkWritten(const std::string& name, std::int64_t rowId, const std::string& imei) override;
    // Also offline, for a row drawn offline and not sent yet.
    bool Release(const std::string& name, std::int64_t rowId, const std::string& imei) override;
    // The server's count; while it cannot be reached, that of the block kept
    // here (its columns, and its rows as this station holds them).
    PoolStatus Status(const std::string& name) override;
    std::vector<PoolStatus> List() override;
    std::vector<PoolRow> ForImei(const std::string& imei) override;

    // Sends the ties made offline; how many went. Throws StoreError (Kind::
    // Open while the server cannot be reached). A tie the server refuses
    // (its row was freed on the server by hand meanwhile) stays queued, and
    // its row the device's here: SqlitePoolStore::QueuedTies lists it.
    int SendQueued();

private:
    void TopUp(const std::string& name);
    // The IMEI's row in the block kept here, else its next row; nullopt
    // when none is left (or none was ever reserved).
    std::optional<PoolRow> FromBlock(const std::string& name, const std::string& imei);

    std::string station_;
    int block_;
    SqlitePoolStore local_;
    // The system's own client library's (OpenServerPoolStore).
    std::unique_ptr<ServerPoolStore> server_;
};

}  // namespace records
