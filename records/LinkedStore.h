// What the line's server stores do alike, whatever client library reaches the
// server: each call runs its statements (Queries: server::Queries of the
// library's dialect) on the link's connection, which connects anew, and
// brings the schema up to date, when it must.
//
// The members are made once, in the store's own source file (an explicit
// instantiation), where the dialect is known; a store's header declares that
// instantiation extern.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/NonCopyable.h"
#include "records/ServerLink.h"
#include "records/ServerRecordStore.h"

namespace records {

template <class Connection, class Queries>
class LinkedStore : public ServerRecordStore, NonCopyable {
public:
    ~LinkedStore() override;

    void AddAll(const std::vector<DeviceRecord>& records) override;
    void ForEach(const RecordQuery& query,
                 const std::function<void(const DeviceRecord&)>& visit) override;
    std::optional<DeviceRecord> Get(const std::string& id) override;

protected:
    // Connects at once: a store that cannot reach its server throws here.
    explicit LinkedStore(std::function<std::unique_ptr<Connection>()> connect);

private:
    ServerLink<Connection> link_;
};

template <class Connection, class Queries>
LinkedStore<Connection, Queries>::LinkedStore(std::function<std::unique_ptr<Connection>()> connect)
    : link_(
          [connect = std::move(connect)] {
              std::unique_ptr<Connection> connection = connect();
              Queries::Migrate(*connection);
              return connection;
          },
          RetryPolicy()) {
    link_.With([](Connection&) {});
}

template <class Connection, class Queries>
LinkedStore<Connection, Queries>::~LinkedStore() = default;

// An empty batch asks nothing of the server, not even to connect.
template <class Connection, class Queries>
void LinkedStore<Connection, Queries>::AddAll(const std::vector<DeviceRecord>& records) {
    if (!records.empty()) {
        link_.With([&](Connection& connection) { Queries::AddAll(connection, records); });
    }
}

template <class Connection, class Queries>
void LinkedStore<Connection, Queries>::ForEach(
    const RecordQuery& query, const std::function<void(const DeviceRecord&)>& visit) {
    link_.With([&](Connection& connection) { Queries::ForEach(connection, query, visit); });
}

template <class Connection, class Queries>
std::optional<DeviceRecord> LinkedStore<Connection, Queries>::Get(const std::string& id) {
    return link_.With([&](Connection& connection) { return Queries::Get(connection, id); });
}

}  // namespace records
