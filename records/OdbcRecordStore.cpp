#include "records/OdbcRecordStore.h"

#include <algorithm>
#include <cstdint>
#include <string_view>

#include "records/OdbcConnection.h"
#include "records/OdbcConnectionString.h"
#include "records/RecordsSetting.h"
#include "records/ServerQueries.h"

namespace records {

namespace server {

// ODBC's marks are "?", typed by a cast; bytes go and come as hex text.
struct OdbcDialect {
    using Connection = OdbcConnection;

    static std::string Placeholder(int, std::string_view type) {
        if (type.empty()) {
            return "?";
        }
        if (type == "bytea") {
            return "decode(?, 'hex')";
        }
        return "CAST(? AS " + std::string(type) + ")";
    }
    static std::string ReadBytes(std::string_view column) {
        return "encode(" + std::string(column) + ", 'hex')";
    }
};

}  // namespace server

template class LinkedStore<OdbcConnection, server::Queries<server::OdbcDialect>>;

namespace {

// As libpq's store: a batch is answered well within this, or taken for lost.
constexpr std::chrono::seconds kAnswerTimeout(30);

std::vector<std::string> ConnectionStrings(const std::string& uri,
                                           std::chrono::milliseconds connectTimeout) {
    const int seconds = static_cast<int>(
        std::max<std::int64_t>(1, std::chrono::ceil<std::chrono::seconds>(connectTimeout).count()));
    std::vector<std::string> attempts;
    for (const std::string& driver : OdbcRecordStore::DriverNames()) {
        const auto text = OdbcConnectionString(uri, driver, seconds);
        if (!text) {
            throw StoreError(StoreError::Kind::Open,
                             "not a PostgreSQL URI: " + WithoutPassword(uri));
        }
        attempts.push_back(*text);
    }
    return attempts;
}

}  // namespace

const std::vector<std::string>& OdbcRecordStore::DriverNames() {
    static const std::vector<std::string> names = {"PostgreSQL Unicode(x64)", "PostgreSQL Unicode"};
    return names;
}

OdbcRecordStore::OdbcRecordStore(const std::string& uri, std::chrono::milliseconds connectTimeout,
                                 StopSignal* stop)
    : LinkedStore([attempts = ConnectionStrings(uri, connectTimeout), connectTimeout, stop] {
          return std::make_unique<OdbcConnection>(attempts, connectTimeout, kAnswerTimeout, stop);
      }) {}

std::unique_ptr<ServerRecordStore> OpenServerStore(const std::string& uri,
                                                   std::chrono::milliseconds connectTimeout,
                                                   StopSignal* stop) {
    return std::make_unique<OdbcRecordStore>(uri, connectTimeout, stop);
}

}  // namespace records
