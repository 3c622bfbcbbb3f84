// A blocking HTTP/1.1 client for the tests of tirvel-line and for driving the
// browser through its WebDriver: one request per connection (Connection:
// close), every wait bounded, IPv4 host:port. Failures (no connection, a
// time-out, a broken answer) throw std::runtime_error saying which.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace testsupport {

// Header fields in the order they came; names compare without case.
class HttpHeaders {
public:
    HttpHeaders() = default;
    HttpHeaders(std::initializer_list<std::pair<std::string, std::string>> fields)
        : fields_(fields) {}

    void Add(std::string name, std::string value);
    // The first field of that name; nothing when there is none.
    std::optional<std::string> Find(std::string_view name) const;
    const std::vector<std::pair<std::string, std::string>>& Fields() const { return fields_; }

private:
    std::vector<std::pair<std::string, std::string>> fields_;
};

struct HttpRequest {
    std::string method = "GET";
    std::string path = "/";
    HttpHeaders headers;
    std::string body;
};

struct HttpResponse {
    int status = 0;
    HttpHeaders headers;
    std::string body;

    std::optional<std::string> Header(std::string_view name) const { return headers.Find(name); }
};

// One event of a text/event-stream; event is "message" when the server named
// none, data the data lines joined with "\n".
struct ServerSentEvent {
    std::string event;
    std::string data;
    std::string id;
};

class HttpConnection;

// A GET held open, read one Server-Sent Event at a time.
class HttpEventStream {
public:
    ~HttpEventStream();
    HttpEventStream(HttpEventStream&&) noexcept;
    HttpEventStream& operator=(HttpEventStream&&) noexcept;

    int Status() const { return status_; }
    const HttpHeaders& Headers() const { return headers_; }
    // The next event, or nothing when none came within the time or the
    // server has closed the stream (Closed() tells which).
    std::optional<ServerSentEvent> Next(std::chrono::milliseconds timeout);
    bool Closed() const { return closed_; }

private:
    friend class HttpClient;
    HttpEventStream(std::unique_ptr<HttpConnection> connection, int status, HttpHeaders headers,
                    bool chunked);
    // Moves whole lines from the body into lines_, false at the deadline.
    bool ReadBody(std::chrono::steady_clock::time_point deadline);

    std::unique_ptr<HttpConnection> connection_;
    int status_ = 0;
    HttpHeaders headers_;
    bool chunked_ = false;
    bool closed_ = false;
    std::string text_;  // body bytes not yet taken as lines
    ServerSentEvent pending_;
    bool pendingData_ = false;
};

class HttpClient {
public:
    HttpClient(std::string host, std::uint16_t port,
               std::chrono::milliseconds timeout = std::chrono::seconds(30));

    HttpResponse Send(const HttpRequest& request) const;
    HttpResponse Get(const std::string& path, HttpHeaders headers = {}) const;
    // A body with its Content-Type (JSON unless told).
    HttpResponse Post(const std::string& path, std::string body, HttpHeaders headers = {},
                      const std::string& contentType = "application/json") const;
    HttpResponse Delete(const std::string& path, HttpHeaders headers = {}) const;
    // A GET for text/event-stream; the answer's head is read before it returns.
    HttpEventStream Stream(const std::string& path, HttpHeaders headers = {}) const;

    std::chrono::milliseconds Timeout() const { return timeout_; }

private:
    std::unique_ptr<HttpConnection> Open(const HttpRequest& request,
                                         std::chrono::steady_clock::time_point deadline) const;

    std::string host_;
    std::uint16_t port_;
    std::chrono::milliseconds timeout_;
};

}  // namespace testsupport
