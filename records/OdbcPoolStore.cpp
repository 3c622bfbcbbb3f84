#include "records/OdbcPoolStore.h"

#include "records/OdbcConnection.h"
#include "records/OdbcDialect.h"

namespace records {

namespace {

// As libpq's store: a draw is a few milliseconds, a pool's import a few
// seconds.
constexpr std::chrono::seconds kAnswerTimeout(30);

}  // namespace

template class LinkedPoolStore<OdbcConnection, server::OdbcDialect>;

OdbcPoolStore::OdbcPoolStore(const std::string& uri, std::chrono::milliseconds connectTimeout,
                             StopSignal* stop, bool connectNow)
    : LinkedPoolStore(OdbcConnection::Connector(uri, connectTimeout, kAnswerTimeout, stop),
                      connectNow) {}

std::unique_ptr<ServerPoolStore> OpenServerPoolStore(const std::string& uri,
                                                     std::chrono::milliseconds connectTimeout,
                                                     bool connectNow) {
    return std::make_unique<OdbcPoolStore>(uri, connectTimeout, nullptr, connectNow);
}

}  // namespace records
