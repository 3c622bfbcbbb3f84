#include "LineListener.h"

#include <gtest/gtest.h>
#include <poll.h>

#include <chrono>
#include <stdexcept>
#include <utility>

#include "PostgresServer.h"

namespace testsupport {

namespace {
const std::string kMark = "~mark";
}

LineListener::LineListener(const std::string& uri, std::string station)
    : uri_(uri), station_(std::move(station)), conn_(PQconnectdb(uri.c_str()), PQfinish) {
    if (PQstatus(conn_.get()) != CONNECTION_OK) {
        throw std::runtime_error(PQerrorMessage(conn_.get()));
    }
    PQclear(PQexec(conn_.get(), "LISTEN tirvel_line"));
}

int LineListener::Told() {
    PostgresServer::Scalar(uri_, "SELECT pg_notify('tirvel_line', '" + kMark + "')");
    int told = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        while (PGnotify* notify = PQnotifies(conn_.get())) {
            const std::string station = notify->extra;
            PQfreemem(notify);
            if (station == kMark) {
                return told;
            }
            EXPECT_EQ(station, station_);
            ++told;
        }
        pollfd fd{PQsocket(conn_.get()), POLLIN, 0};
        ::poll(&fd, 1, 100);
        PQconsumeInput(conn_.get());
    }
    ADD_FAILURE() << "the channel's mark never came";
    return told;
}

}  // namespace testsupport
