// Value pools in the station's own records file: for a station that works
// alone. Its workers are processes of their own; each draw takes the file's
// write lock before it looks for a free row, so two never take one row.
#pragma once

#include <string>

#include "common/NonCopyable.h"
#include "records/PoolStore.h"

struct sqlite3;

namespace records {

class SqlitePoolStore : public PoolStore, NonCopyable {
public:
    // ForServer: the file keeps rows the server reserved for this station
    // (LinePoolStore), and every tie or write made here is queued until the
    // server has it.
    enum class Queue { None, ForServer };

    // Opens the records file (creating and migrating it as the records'
    // store does). Throws StoreError.
    explicit SqlitePoolStore(const std::string& path, Queue queue = Queue::None);
    ~SqlitePoolStore() override;

    void Import(const std::string& name, const std::vector<std::string>& columns,
                const std::vector<PoolImportRow>& rows) override;
    std::optional<PoolRow> Draw(const std::string& name, const std::string& imei,
                                const std::string& station) override;
    void MarkWritten(const std::string& name, std::int64_t rowId, const std::string& imei) override;
    bool Release(const std::string& name, std::int64_t rowId, const std::string& imei) override;
    PoolStatus Status(const std::string& name) override;
    std::vector<PoolStatus> List() override;
    std::vector<PoolRow> ForImei(const std::string& imei) override;

    // Rows the server reserved for this station, kept here as free rows of
    // a pool of the same name and columns (made when it is not here yet);
    // rows here already are left as they are.
    void KeepReserved(const PoolStatus& pool, const std::vector<PoolRow>& rows);
    // The rows kept for the station that no device has taken yet: another
    // station's block in the same file is no part of this one's.
    std::int64_t ReservedLeft(const std::string& name, const std::string& station);
    // A pool of the name kept here for another import (the server's pool
    // made anew, or another server's) is forgotten: its rows and cells are
    // none of the server's pool, and a draw from them would give a device
    // values the server never held for that row. One with ties still to
    // send is left as it is. KeepReserved does this first too.
    void ForgetOtherImport(const PoolStatus& server);
    // The rows tied or written here that the server has not been told of.
    std::vector<PoolRow> QueuedTies();
    // The server has the row as it was sent: it leaves the queue, unless it
    // has changed since (written meanwhile: sent again).
    void TieSent(const PoolRow& sent);
    // Whether the row is tied here to the IMEI, not written, and still
    // queued (the server never heard of it): nullopt when it is not tied
    // here to that IMEI at all.
    std::optional<bool> TiedUnsent(const std::string& name, std::int64_t rowId,
                                   const std::string& imei);

    // The row is no longer this station's (released on the server): gone
    // from the file, so that it is never drawn here again.
    void Forget(const std::string& name, std::int64_t rowId);

private:
    void DropOtherImport(const PoolStatus& server);
    void Enqueue(std::int64_t pool, std::int64_t rowId);

    Queue queue_;
    sqlite3* db_ = nullptr;
};

}  // namespace records
