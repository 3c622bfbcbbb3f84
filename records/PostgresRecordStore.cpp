#include "records/PostgresRecordStore.h"

#include "records/PgConnection.h"
#include "records/PgDialect.h"
#include "records/ServerQueries.h"

namespace records {

namespace {

// A batch of a few hundred records is answered well within a second; a server
// silent for this long is taken for gone, and the batch waits for the next try.
constexpr std::chrono::seconds kAnswerTimeout(30);

}  // namespace

template class LinkedStore<PgConnection, server::Queries<server::PgDialect>>;

PostgresRecordStore::PostgresRecordStore(const std::string& uri,
                                         std::chrono::milliseconds connectTimeout, int interruptFd)
    : LinkedStore([uri, connectTimeout, interruptFd] {
          return std::make_unique<PgConnection>(uri, connectTimeout, kAnswerTimeout, interruptFd);
      }) {}

std::unique_ptr<ServerRecordStore> OpenServerStore(const std::string& uri,
                                                   std::chrono::milliseconds connectTimeout,
                                                   StopSignal* stop) {
    return std::make_unique<PostgresRecordStore>(uri, connectTimeout,
                                                 stop != nullptr ? stop->Fd() : -1);
}

}  // namespace records
