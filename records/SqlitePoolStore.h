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
    // Opens the records file (creating and migrating it as the records'
    // store does). Throws StoreError.
    explicit SqlitePoolStore(const std::string& path);
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

private:
    sqlite3* db_ = nullptr;
};

}  // namespace records
