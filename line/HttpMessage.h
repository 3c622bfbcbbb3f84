// One request as the server hands it to the application, and the answer the
// application gives: plain values, so that the routes are tested without a
// socket.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace line {

class EventStream;

struct HttpRequest {
    std::string method;
    std::string path;  // without the query, percent-decoded
    // In the order given; a name may come more than once (refused by the routes).
    std::vector<std::pair<std::string, std::string>> query;
    std::vector<std::pair<std::string, std::string>> headers;  // names in lower case
    std::string body;
    bool secure = false;  // came over TLS

    // The first value of the header (name in lower case); empty for none.
    std::string Header(std::string_view name) const;
    // The value of a cookie of the Cookie header; empty for none.
    std::string Cookie(std::string_view name) const;
};

struct HttpResponse {
    int status = 200;
    std::string contentType = "application/json; charset=utf-8";
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    // Set: the answer is a stream of Server-Sent Events that stays open, fed
    // through this object, and body is its first part.
    std::shared_ptr<EventStream> stream;
};

}  // namespace line
