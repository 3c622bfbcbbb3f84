#include "records/PostgresRecordStore.h"

#include <string_view>

#include "records/PgConnection.h"
#include "records/ServerQueries.h"

namespace records {

namespace {

// A batch of a few hundred records is answered well within a second; a server
// silent for this long is taken for gone, and the batch waits for the next try.
constexpr std::chrono::seconds kAnswerTimeout(30);

}  // namespace

namespace server {

// libpq's marks: "$1::uuid". Bytes travel in binary form, typed by the
// parameter itself.
struct PgDialect {
    using Connection = PgConnection;

    static std::string Placeholder(int number, std::string_view type) {
        std::string mark = "$" + std::to_string(number);
        if (!type.empty() && type != "bytea") {
            mark += "::";
            mark += type;
        }
        return mark;
    }
    static std::string ReadBytes(std::string_view column) { return std::string(column); }
};

}  // namespace server

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
