// The line's HTTP server: libmicrohttpd, its event loop on epoll spread over
// a few threads, plain or TLS. Every request is bounded before the
// application sees it: its headers (size and count), its body, and how long
// a client may take; a stream of events is parked while it has nothing to
// send, so that hundreds of open browsers cost no thread each.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

#include "line/HttpMessage.h"

struct MHD_Daemon;

namespace line {

struct HttpSettings {
    std::string host = "127.0.0.1";  // an IPv4 or IPv6 address
    std::uint16_t port = 0;          // 0: any free one (Port() tells)
    std::string certificatePem;      // both set: TLS
    std::string keyPem;
    unsigned threads = 4;
    unsigned connections = 1024;  // open at once, streams included
    std::size_t largestBody = 16 * 1024;
    unsigned mostHeaders = 64;
    unsigned idleSeconds = 30;  // a client silent this long is let go (not a parked stream)
};

class HttpError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

using HttpHandler = std::function<HttpResponse(const HttpRequest&)>;

class HttpServer {
public:
    // Listens at once; throws HttpError when it cannot (the address taken, a
    // bad certificate).
    HttpServer(const HttpSettings& settings, HttpHandler handler);
    // Every stream must have been closed before (their hub's Close).
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    std::uint16_t Port() const { return port_; }

private:
    struct Daemon;
    std::unique_ptr<Daemon> daemon_;
    std::uint16_t port_ = 0;
};

}  // namespace line
