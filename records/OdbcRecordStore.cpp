#include "records/OdbcRecordStore.h"

#include "records/OdbcConnection.h"
#include "records/OdbcDialect.h"
#include "records/ServerQueries.h"

namespace records {

template class LinkedStore<OdbcConnection, server::Queries<server::OdbcDialect>>;

namespace {

// As libpq's store: a batch is answered well within this, or taken for lost.
constexpr std::chrono::seconds kAnswerTimeout(30);

}  // namespace

OdbcRecordStore::OdbcRecordStore(const std::string& uri, std::chrono::milliseconds connectTimeout,
                                 StopSignal* stop)
    : LinkedStore(OdbcConnection::Connector(uri, connectTimeout, kAnswerTimeout, stop)) {}

std::unique_ptr<ServerRecordStore> OpenServerStore(const std::string& uri,
                                                   std::chrono::milliseconds connectTimeout,
                                                   StopSignal* stop) {
    return std::make_unique<OdbcRecordStore>(uri, connectTimeout, stop);
}

}  // namespace records
