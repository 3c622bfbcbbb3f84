// The station's own records: one SQLite file in WAL mode, which several
// processes (a station's workers) write at once. With a shared server behind
// it, every record added is also queued until the server has it.
#pragma once

#include <string>
#include <vector>

#include "common/NonCopyable.h"
#include "records/RecordStore.h"

struct sqlite3;

namespace records {

class SqliteRecordStore : public RecordStore, NonCopyable {
public:
    enum class Queue { None, ForServer };

    // Opens the file, creating it (and its folder) if need be, and brings its
    // schema up to date. Throws StoreError.
    explicit SqliteRecordStore(const std::string& path, Queue queue = Queue::None);
    ~SqliteRecordStore() override;

    void Add(const DeviceRecord& record) override;
    void ForEach(const RecordQuery& query,
                 const std::function<void(const DeviceRecord&)>& visit) override;
    std::optional<DeviceRecord> Get(const std::string& id) override;

    // The records the server does not have yet, oldest first, with items.
    std::vector<DeviceRecord> Queued(int limit);
    int QueuedCount();
    // The server has committed these: they leave the queue.
    void Sent(const std::vector<std::string>& ids);

    const std::string& Path() const { return path_; }

private:
    std::string path_;
    Queue queue_;
    sqlite3* db_ = nullptr;
};

}  // namespace records
