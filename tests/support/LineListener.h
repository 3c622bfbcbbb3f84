// The line's channel as tirvel-line hears it: LISTEN tirvel_line on a libpq
// connection of its own, on a server a suite started.
#pragma once

#include <libpq-fe.h>

#include <memory>
#include <string>

namespace testsupport {

class LineListener {
public:
    // Throws std::runtime_error when the server cannot be reached.
    LineListener(const std::string& uri, std::string station);

    // The station's notifications since the last call; any other payload
    // fails the case. Exact: a mark sent after them comes after them on the
    // channel, which keeps the order the changes were committed in.
    int Told();

private:
    std::string uri_;
    std::string station_;
    std::unique_ptr<PGconn, void (*)(PGconn*)> conn_;
};

}  // namespace testsupport
