#include "records/PostgresPoolStore.h"

#include "records/PgConnection.h"
#include "records/PgDialect.h"

namespace records {

namespace {

// A draw is a few milliseconds, a pool's import a few seconds.
constexpr std::chrono::seconds kAnswerTimeout(30);

}  // namespace

template class LinkedPoolStore<PgConnection, server::PgDialect>;

PostgresPoolStore::PostgresPoolStore(const std::string& uri,
                                     std::chrono::milliseconds connectTimeout, int interruptFd,
                                     bool connectNow)
    : LinkedPoolStore(
          [uri, connectTimeout, interruptFd] {
              return std::make_unique<PgConnection>(uri, connectTimeout, kAnswerTimeout,
                                                    interruptFd);
          },
          connectNow) {}

std::unique_ptr<ServerPoolStore> OpenServerPoolStore(const std::string& uri,
                                                     std::chrono::milliseconds connectTimeout,
                                                     bool connectNow) {
    return std::make_unique<PostgresPoolStore>(uri, connectTimeout, -1, connectNow);
}

}  // namespace records
