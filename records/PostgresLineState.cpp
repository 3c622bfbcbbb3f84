// The line's state tables from a Linux station, through libpq.
#include "records/LinkedLineState.h"
#include "records/PgConnection.h"
#include "records/PgDialect.h"

namespace records {

template class LinkedLineState<PgConnection, server::PgDialect>;

std::unique_ptr<LineStateLink> OpenLineStateLink(const std::string& uri,
                                                 std::chrono::milliseconds connectTimeout,
                                                 std::chrono::milliseconds answerTimeout,
                                                 RetryPolicy retry, StopSignal* stop) {
    const int interruptFd = stop != nullptr ? stop->Fd() : -1;
    return std::make_unique<LinkedLineState<PgConnection, server::PgDialect>>(
        [uri, connectTimeout, answerTimeout, interruptFd] {
            return std::make_unique<PgConnection>(uri, connectTimeout, answerTimeout, interruptFd);
        },
        retry);
}

}  // namespace records
