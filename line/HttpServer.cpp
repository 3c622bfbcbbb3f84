#include "line/HttpServer.h"

#include <arpa/inet.h>
#include <microhttpd.h>
#include <netdb.h>
#include <sys/socket.h>

#include <algorithm>
#include <cctype>
#include <cstring>

#include "line/EventStream.h"

namespace line {

namespace {

// What is known of a request while its body arrives.
struct Exchange {
    HttpRequest request;
    bool tooLarge = false;
};

enum MHD_Result TakeValue(void* cls, enum MHD_ValueKind, const char* key, const char* value) {
    auto* into = static_cast<std::vector<std::pair<std::string, std::string>>*>(cls);
    std::string name = key != nullptr ? key : "";
    into->emplace_back(std::move(name), value != nullptr ? value : "");
    return MHD_YES;
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// Who may read what is sent: no page of this server in another's frame, no
// guessing of types, nothing kept by a shared cache.
void AddCommonHeaders(MHD_Response* response) {
    MHD_add_response_header(response, "X-Content-Type-Options", "nosniff");
    MHD_add_response_header(response, "X-Frame-Options", "DENY");
    MHD_add_response_header(response, "Referrer-Policy", "no-referrer");
}

enum MHD_Result Queue(MHD_Connection* connection, const HttpResponse& answer) {
    MHD_Response* response = nullptr;
    if (answer.stream) {
        auto* stream = new std::shared_ptr<EventStream>(answer.stream);
        (*stream)->Attach(connection);
        response = MHD_create_response_from_callback(
            MHD_SIZE_UNKNOWN, 16 * 1024,
            [](void* cls, uint64_t, char* buf, size_t max) -> ssize_t {
                return (*static_cast<std::shared_ptr<EventStream>*>(cls))->Drain(buf, max);
            },
            stream,
            [](void* cls) {
                auto* held = static_cast<std::shared_ptr<EventStream>*>(cls);
                (*held)->Detach();
                delete held;
            });
        if (response == nullptr) {
            (*stream)->Detach();
            delete stream;
            return MHD_NO;
        }
    } else {
        response = MHD_create_response_from_buffer(
            answer.body.size(), const_cast<char*>(answer.body.data()), MHD_RESPMEM_MUST_COPY);
        if (response == nullptr) {
            return MHD_NO;
        }
    }
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, answer.contentType.c_str());
    AddCommonHeaders(response);
    for (const auto& [name, value] : answer.headers) {
        MHD_add_response_header(response, name.c_str(), value.c_str());
    }
    const enum MHD_Result queued =
        MHD_queue_response(connection, static_cast<unsigned>(answer.status), response);
    MHD_destroy_response(response);
    return queued;
}

HttpResponse Refusal(int status, const std::string& why) {
    HttpResponse answer;
    answer.status = status;
    answer.body = "{\"error\":\"" + why + "\"}";
    return answer;
}

}  // namespace

struct HttpServer::Daemon {
    HttpHandler handler;
    HttpSettings settings;
    bool secure = false;
    MHD_Daemon* mhd = nullptr;

    enum MHD_Result Access(MHD_Connection* connection, const char* url, const char* method,
                           const char* upload, size_t* uploadSize, void** context) {
        auto* exchange = static_cast<Exchange*>(*context);
        if (exchange == nullptr) {
            // The headers are in: judge them before any body is read.
            auto fresh = std::make_unique<Exchange>();
            MHD_get_connection_values(connection, MHD_HEADER_KIND, TakeValue,
                                      &fresh->request.headers);
            for (auto& header : fresh->request.headers) {
                header.first = Lower(header.first);
            }
            if (fresh->request.headers.size() > settings.mostHeaders) {
                return Queue(connection, Refusal(431, "too many header fields"));
            }
            const std::string length = fresh->request.Header("content-length");
            if (!length.empty() &&
                (length.size() > 9 || std::stoul("0" + length) > settings.largestBody)) {
                return Queue(connection, Refusal(413, "the request's body is too large"));
            }
            fresh->request.method = method;
            fresh->request.path = url;
            fresh->request.secure = secure;
            MHD_get_connection_values(connection, MHD_GET_ARGUMENT_KIND, TakeValue,
                                      &fresh->request.query);
            *context = fresh.release();
            return MHD_YES;
        }
        if (*uploadSize != 0) {
            if (exchange->request.body.size() + *uploadSize > settings.largestBody) {
                exchange->tooLarge = true;
            } else {
                exchange->request.body.append(upload, *uploadSize);
            }
            *uploadSize = 0;
            return MHD_YES;
        }
        if (exchange->tooLarge) {
            return Queue(connection, Refusal(413, "the request's body is too large"));
        }
        HttpResponse answer;
        try {
            answer = handler(exchange->request);
        } catch (const std::exception&) {
            answer = Refusal(500, "the server failed to answer");
        }
        return Queue(connection, answer);
    }
};

HttpServer::HttpServer(const HttpSettings& settings, HttpHandler handler)
    : daemon_(std::make_unique<Daemon>()) {
    daemon_->handler = std::move(handler);
    daemon_->settings = settings;

    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE;
    addrinfo* found = nullptr;
    const std::string port = std::to_string(settings.port);
    if (getaddrinfo(settings.host.c_str(), port.c_str(), &hints, &found) != 0 || found == nullptr) {
        throw HttpError("cannot listen on " + settings.host + ": no such address");
    }
    std::unique_ptr<addrinfo, void (*)(addrinfo*)> address(found, freeaddrinfo);

    unsigned flags = MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_EPOLL | MHD_ALLOW_SUSPEND_RESUME;
    if (address->ai_family == AF_INET6) {
        flags |= MHD_USE_IPv6;
    }
    daemon_->secure = !settings.certificatePem.empty() && !settings.keyPem.empty();
    if (daemon_->secure) {
        flags |= MHD_USE_TLS;
    }
    MHD_OptionItem options[] = {
        {MHD_OPTION_SOCK_ADDR, 0, address->ai_addr},
        {MHD_OPTION_THREAD_POOL_SIZE, static_cast<intptr_t>(std::max(1u, settings.threads)),
         nullptr},
        {MHD_OPTION_CONNECTION_LIMIT, static_cast<intptr_t>(settings.connections), nullptr},
        {MHD_OPTION_CONNECTION_TIMEOUT, static_cast<intptr_t>(settings.idleSeconds), nullptr},
        // Bounds the request line and every header together.
        {MHD_OPTION_CONNECTION_MEMORY_LIMIT, 64 * 1024, nullptr},
        {MHD_OPTION_NOTIFY_COMPLETED,
         reinterpret_cast<intptr_t>(
             +[](void*, MHD_Connection*, void** context, enum MHD_RequestTerminationCode) {
                 delete static_cast<Exchange*>(*context);
                 *context = nullptr;
             }),
         nullptr},
        {daemon_->secure ? MHD_OPTION_HTTPS_MEM_KEY : MHD_OPTION_END, 0,
         const_cast<char*>(settings.keyPem.c_str())},
        {MHD_OPTION_HTTPS_MEM_CERT, 0, const_cast<char*>(settings.certificatePem.c_str())},
        {MHD_OPTION_END, 0, nullptr},
    };
    daemon_->mhd = MHD_start_daemon(
        flags, 0, nullptr, nullptr,
        [](void* cls, MHD_Connection* connection, const char* url, const char* method, const char*,
           const char* upload, size_t* uploadSize, void** context) {
            return static_cast<Daemon*>(cls)->Access(connection, url, method, upload, uploadSize,
                                                     context);
        },
        daemon_.get(), MHD_OPTION_ARRAY, options, MHD_OPTION_END);
    if (daemon_->mhd == nullptr) {
        throw HttpError(daemon_->secure
                            ? "cannot listen on " + settings.host + ":" + port +
                                  " with this certificate and key (the address may be taken, "
                                  "or they are not a PEM certificate and its key)"
                            : "cannot listen on " + settings.host + ":" + port +
                                  " (the address may be taken)");
    }
    const MHD_DaemonInfo* info = MHD_get_daemon_info(daemon_->mhd, MHD_DAEMON_INFO_BIND_PORT);
    port_ = info != nullptr ? info->port : settings.port;
}

HttpServer::~HttpServer() {
    if (daemon_->mhd != nullptr) {
        MHD_stop_daemon(daemon_->mhd);
    }
}

}  // namespace line
