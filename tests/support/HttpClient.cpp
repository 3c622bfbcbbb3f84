#include "HttpClient.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace testsupport {

namespace {

using Clock = std::chrono::steady_clock;

bool EqualNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
               return lower(x) == lower(y);
           });
}

std::string Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    return std::string(text);
}

int RemainingMs(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left <= 0 ? 0 : static_cast<int>(std::min<long long>(left, 1 << 30));
}

}  // namespace

void HttpHeaders::Add(std::string name, std::string value) {
    fields_.emplace_back(std::move(name), std::move(value));
}

std::optional<std::string> HttpHeaders::Find(std::string_view name) const {
    for (const auto& [key, value] : fields_) {
        if (EqualNoCase(key, name)) {
            return value;
        }
    }
    return std::nullopt;
}

// A socket with what has been read from it and not yet taken.
class HttpConnection {
public:
    HttpConnection(const std::string& host, std::uint16_t port, Clock::time_point deadline) {
        addrinfo hints{};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* found = nullptr;
        if (::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0 ||
            !found) {
            throw std::runtime_error("HTTP: cannot resolve " + host);
        }
        sockaddr_in address{};
        std::memcpy(&address, found->ai_addr, sizeof address);
        ::freeaddrinfo(found);

        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd_ < 0) {
            throw std::runtime_error(std::string("HTTP: socket: ") + std::strerror(errno));
        }
        const std::string where = host + ":" + std::to_string(port);
        if (::connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            if (errno != EINPROGRESS) {
                const std::string why = std::strerror(errno);
                ::close(fd_);
                throw std::runtime_error("HTTP: cannot connect to " + where + ": " + why);
            }
            if (!Wait(POLLOUT, deadline)) {
                ::close(fd_);
                throw std::runtime_error("HTTP: no connection to " + where + " in time");
            }
            int error = 0;
            socklen_t size = sizeof error;
            ::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &size);
            if (error != 0) {
                ::close(fd_);
                throw std::runtime_error("HTTP: cannot connect to " + where + ": " +
                                         std::strerror(error));
            }
        }
    }
    ~HttpConnection() { ::close(fd_); }
    HttpConnection(const HttpConnection&) = delete;
    HttpConnection& operator=(const HttpConnection&) = delete;

    void Write(std::string_view bytes, Clock::time_point deadline) {
        while (!bytes.empty()) {
            const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
            if (n > 0) {
                bytes.remove_prefix(static_cast<std::size_t>(n));
            } else if (n < 0 && errno == EINTR) {
                continue;
            } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                if (!Wait(POLLOUT, deadline)) {
                    throw std::runtime_error("HTTP: the request could not be sent in time");
                }
            } else {
                throw std::runtime_error(std::string("HTTP: send: ") + std::strerror(errno));
            }
        }
    }

    // Reads what there is, waiting until the deadline for at least a byte;
    // false at the deadline or at the end of the stream (Eof()).
    bool Fill(Clock::time_point deadline) {
        if (eof_) {
            return false;
        }
        for (;;) {
            char chunk[16384];
            const ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
            if (n > 0) {
                buffer_.append(chunk, static_cast<std::size_t>(n));
                return true;
            }
            if (n == 0) {
                eof_ = true;
                return false;
            }
            if (errno == EINTR) {
                continue;
            }
            if (errno != EAGAIN && errno != EWOULDBLOCK) {
                // A reset is an end like any other for one request per connection.
                eof_ = true;
                return false;
            }
            if (!Wait(POLLIN, deadline)) {
                return false;
            }
        }
    }

    // A line without its CRLF, taken only when whole.
    std::optional<std::string> TakeLine() {
        const auto end = buffer_.find('\n');
        if (end == std::string::npos) {
            return std::nullopt;
        }
        std::string line = buffer_.substr(0, end);
        buffer_.erase(0, end + 1);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        return line;
    }

    std::string& Buffer() { return buffer_; }
    bool Eof() const { return eof_; }

private:
    bool Wait(short events, Clock::time_point deadline) {
        for (;;) {
            pollfd entry{fd_, events, 0};
            const int rc = ::poll(&entry, 1, RemainingMs(deadline));
            if (rc > 0) {
                return true;
            }
            if (rc == 0) {
                return false;
            }
            if (errno != EINTR) {
                throw std::runtime_error(std::string("HTTP: poll: ") + std::strerror(errno));
            }
        }
    }

    int fd_ = -1;
    std::string buffer_;
    bool eof_ = false;
};

namespace {

std::string ReadLine(HttpConnection& connection, Clock::time_point deadline, const char* what) {
    for (;;) {
        if (auto line = connection.TakeLine()) {
            return *line;
        }
        if (!connection.Fill(deadline)) {
            throw std::runtime_error(std::string("HTTP: ") + what + ": " +
                                     (connection.Eof() ? "the connection closed" : "timed out"));
        }
    }
}

struct Head {
    int status = 0;
    HttpHeaders headers;
};

Head ReadHead(HttpConnection& connection, Clock::time_point deadline) {
    Head head;
    const std::string statusLine = ReadLine(connection, deadline, "no status line");
    // "HTTP/1.1 200 OK"
    if (statusLine.rfind("HTTP/1.", 0) != 0 || statusLine.size() < 12) {
        throw std::runtime_error("HTTP: not a status line: " + statusLine);
    }
    head.status = std::stoi(statusLine.substr(9, 3));
    for (;;) {
        const std::string line = ReadLine(connection, deadline, "headers cut short");
        if (line.empty()) {
            return head;
        }
        const auto colon = line.find(':');
        if (colon == std::string::npos) {
            throw std::runtime_error("HTTP: not a header: " + line);
        }
        head.headers.Add(Trim(line.substr(0, colon)), Trim(line.substr(colon + 1)));
    }
}

bool IsChunked(const HttpHeaders& headers) {
    const auto coding = headers.Find("Transfer-Encoding");
    return coding && coding->find("chunked") != std::string::npos;
}

// One chunk's data into out, taken from the buffer only when it is all
// there so that a stream read again after a time-out resumes where it was.
// Nothing at the deadline; true with the last chunk.
enum class Chunk { kData, kLast, kNotYet };

Chunk TakeChunk(std::string& buffer, std::string& out) {
    const auto lineEnd = buffer.find('\n');
    if (lineEnd == std::string::npos) {
        return Chunk::kNotYet;
    }
    std::size_t size = 0;
    try {
        size = std::stoul(buffer.substr(0, lineEnd), nullptr, 16);
    } catch (const std::exception&) {
        throw std::runtime_error("HTTP: not a chunk size: " + buffer.substr(0, lineEnd));
    }
    const std::size_t dataStart = lineEnd + 1;
    if (size == 0) {
        // The trailer: header lines up to an empty one.
        std::size_t at = dataStart;
        for (;;) {
            const auto end = buffer.find('\n', at);
            if (end == std::string::npos) {
                return Chunk::kNotYet;
            }
            const bool empty = end == at || (end == at + 1 && buffer[at] == '\r');
            at = end + 1;
            if (empty) {
                buffer.erase(0, at);
                return Chunk::kLast;
            }
        }
    }
    // The data and its CRLF.
    if (buffer.size() < dataStart + size + 2) {
        return Chunk::kNotYet;
    }
    out.append(buffer, dataStart, size);
    std::size_t after = dataStart + size;
    if (buffer[after] == '\r') {
        ++after;
    }
    if (buffer[after] != '\n') {
        throw std::runtime_error("HTTP: a chunk does not end where its size says");
    }
    buffer.erase(0, after + 1);
    return Chunk::kData;
}

std::string ReadBody(HttpConnection& connection, const Head& head, const HttpRequest& request,
                     Clock::time_point deadline) {
    std::string body;
    if (request.method == "HEAD" || head.status == 204 || head.status == 304 ||
        head.status / 100 == 1) {
        return body;
    }
    std::string& buffer = connection.Buffer();
    if (IsChunked(head.headers)) {
        for (;;) {
            const Chunk chunk = TakeChunk(buffer, body);
            if (chunk == Chunk::kLast) {
                return body;
            }
            if (chunk == Chunk::kNotYet && !connection.Fill(deadline)) {
                throw std::runtime_error(
                    std::string("HTTP: chunked body cut short: ") +
                    (connection.Eof() ? "the connection closed" : "timed out"));
            }
        }
    }
    if (const auto length = head.headers.Find("Content-Length")) {
        const std::size_t size = std::stoul(*length);
        while (buffer.size() < size) {
            if (!connection.Fill(deadline)) {
                throw std::runtime_error("HTTP: body shorter than its Content-Length " + *length +
                                         (connection.Eof() ? "" : " in time"));
            }
        }
        body = buffer.substr(0, size);
        buffer.erase(0, size);
        return body;
    }
    // No length: the body ends with the connection.
    while (connection.Fill(deadline)) {
    }
    if (!connection.Eof()) {
        throw std::runtime_error("HTTP: the body had not ended in time");
    }
    body.swap(buffer);
    return body;
}

}  // namespace

HttpClient::HttpClient(std::string host, std::uint16_t port, std::chrono::milliseconds timeout)
    : host_(std::move(host)), port_(port), timeout_(timeout) {}

std::unique_ptr<HttpConnection> HttpClient::Open(const HttpRequest& request,
                                                 Clock::time_point deadline) const {
    auto connection = std::make_unique<HttpConnection>(host_, port_, deadline);
    std::string head = request.method + " " + request.path + " HTTP/1.1\r\n";
    const bool hasHost = request.headers.Find("Host").has_value();
    if (!hasHost) {
        head += "Host: " + host_ + ":" + std::to_string(port_) + "\r\n";
    }
    head += "Connection: close\r\n";
    for (const auto& [name, value] : request.headers.Fields()) {
        head += name + ": " + value + "\r\n";
    }
    if (!request.body.empty() || request.method == "POST" || request.method == "PUT") {
        head += "Content-Length: " + std::to_string(request.body.size()) + "\r\n";
    }
    head += "\r\n";
    connection->Write(head, deadline);
    connection->Write(request.body, deadline);
    return connection;
}

HttpResponse HttpClient::Send(const HttpRequest& request) const {
    const auto deadline = Clock::now() + timeout_;
    auto connection = Open(request, deadline);
    Head head = ReadHead(*connection, deadline);
    HttpResponse response;
    response.body = ReadBody(*connection, head, request, deadline);
    response.status = head.status;
    response.headers = std::move(head.headers);
    return response;
}

HttpResponse HttpClient::Get(const std::string& path, HttpHeaders headers) const {
    return Send({"GET", path, std::move(headers), {}});
}

HttpResponse HttpClient::Post(const std::string& path, std::string body, HttpHeaders headers,
                              const std::string& contentType) const {
    if (!headers.Find("Content-Type")) {
        headers.Add("Content-Type", contentType);
    }
    return Send({"POST", path, std::move(headers), std::move(body)});
}

HttpResponse HttpClient::Delete(const std::string& path, HttpHeaders headers) const {
    return Send({"DELETE", path, std::move(headers), {}});
}

HttpEventStream HttpClient::Stream(const std::string& path, HttpHeaders headers) const {
    if (!headers.Find("Accept")) {
        headers.Add("Accept", "text/event-stream");
    }
    const HttpRequest request{"GET", path, std::move(headers), {}};
    const auto deadline = Clock::now() + timeout_;
    auto connection = Open(request, deadline);
    Head head = ReadHead(*connection, deadline);
    const bool chunked = IsChunked(head.headers);
    return HttpEventStream(std::move(connection), head.status, std::move(head.headers), chunked);
}

HttpEventStream::HttpEventStream(std::unique_ptr<HttpConnection> connection, int status,
                                 HttpHeaders headers, bool chunked)
    : connection_(std::move(connection)),
      status_(status),
      headers_(std::move(headers)),
      chunked_(chunked) {}

HttpEventStream::~HttpEventStream() = default;
HttpEventStream::HttpEventStream(HttpEventStream&&) noexcept = default;
HttpEventStream& HttpEventStream::operator=(HttpEventStream&&) noexcept = default;

bool HttpEventStream::ReadBody(Clock::time_point deadline) {
    std::string& buffer = connection_->Buffer();
    if (!chunked_) {
        if (buffer.empty() && !connection_->Fill(deadline)) {
            closed_ = connection_->Eof();
            return false;
        }
        text_ += buffer;
        buffer.clear();
        return true;
    }
    for (;;) {
        const Chunk chunk = TakeChunk(buffer, text_);
        if (chunk == Chunk::kData) {
            return true;
        }
        if (chunk == Chunk::kLast) {
            closed_ = true;
            return false;
        }
        if (!connection_->Fill(deadline)) {
            closed_ = connection_->Eof();
            return false;
        }
    }
}

std::optional<ServerSentEvent> HttpEventStream::Next(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        // Whole lines first: an event is dispatched by the empty line after it.
        std::size_t end;
        while ((end = text_.find('\n')) != std::string::npos) {
            std::string line = text_.substr(0, end);
            text_.erase(0, end + 1);
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            if (line.empty()) {
                if (pendingData_) {
                    ServerSentEvent event = std::move(pending_);
                    if (event.event.empty()) {
                        event.event = "message";
                    }
                    pending_ = {};
                    pendingData_ = false;
                    return event;
                }
                pending_ = {};
                continue;
            }
            if (line.front() == ':') {
                continue;  // a comment, sent to keep the connection alive
            }
            const auto colon = line.find(':');
            const std::string field = line.substr(0, colon);
            std::string value = colon == std::string::npos ? "" : line.substr(colon + 1);
            if (!value.empty() && value.front() == ' ') {
                value.erase(0, 1);
            }
            if (field == "event") {
                pending_.event = value;
            } else if (field == "data") {
                if (pendingData_) {
                    pending_.data += '\n';
                }
                pending_.data += value;
                pendingData_ = true;
            } else if (field == "id") {
                pending_.id = value;
            }
        }
        if (closed_ || !ReadBody(deadline)) {
            return std::nullopt;
        }
    }
}

}  // namespace testsupport
