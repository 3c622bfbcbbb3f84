// The line's state tables from a Windows station, through ODBC and the
// PostgreSQL ODBC driver: the same statements as libpq's.
#include "records/LinkedLineState.h"
#include "records/OdbcConnection.h"
#include "records/OdbcDialect.h"

namespace records {

template class LinkedLineState<OdbcConnection, server::OdbcDialect>;

std::unique_ptr<LineStateLink> OpenLineStateLink(const std::string& uri,
                                                 std::chrono::milliseconds connectTimeout,
                                                 std::chrono::milliseconds answerTimeout,
                                                 RetryPolicy retry, StopSignal* stop) {
    return std::make_unique<LinkedLineState<OdbcConnection, server::OdbcDialect>>(
        OdbcConnection::Connector(uri, connectTimeout, answerTimeout, stop), retry);
}

}  // namespace records
