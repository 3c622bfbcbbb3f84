// The test client's reading of answers, against a socket server in the test
// that sends a scripted answer in pieces: a body or an event split at any
// byte must come out whole.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "HttpClient.h"

namespace {

using namespace std::chrono_literals;
using testsupport::HttpClient;

// Accepts one connection, keeps the request it read, sends the pieces with a
// pause between them so that each arrives in a read of its own, then closes
// (or holds the connection open until the test ends).
class ScriptedServer {
public:
    explicit ScriptedServer(std::vector<std::string> pieces, bool holdOpen = false)
        : pieces_(std::move(pieces)), holdOpen_(holdOpen) {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(listener_, 1) != 0) {
            throw std::runtime_error("cannot listen");
        }
        socklen_t size = sizeof address;
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { Serve(); });
    }
    ~ScriptedServer() {
        done_ = true;
        ::shutdown(listener_, SHUT_RDWR);
        thread_.join();
        ::close(listener_);
    }

    std::uint16_t Port() const { return port_; }
    // What came in, once the answer has been read.
    const std::string& Request() const { return request_; }

private:
    void Serve() {
        const int fd = ::accept(listener_, nullptr, nullptr);
        if (fd < 0) {
            return;
        }
        char buffer[4096];
        while (request_.find("\r\n\r\n") == std::string::npos) {
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0) {
                break;
            }
            request_.append(buffer, static_cast<std::size_t>(n));
        }
        for (const auto& piece : pieces_) {
            ::send(fd, piece.data(), piece.size(), MSG_NOSIGNAL);
            std::this_thread::sleep_for(20ms);
        }
        while (holdOpen_ && !done_) {
            std::this_thread::sleep_for(10ms);
        }
        ::close(fd);
    }

    std::vector<std::string> pieces_;
    bool holdOpen_;
    std::atomic<bool> done_{false};
    int listener_ = -1;
    std::uint16_t port_ = 0;
    std::string request_;
    std::thread thread_;
};

struct BodyCase {
    const char* name;
    std::vector<std::string> pieces;
    const char* body;
};

void PrintTo(const BodyCase& c, std::ostream* out) {
    *out << c.name;
}

class HttpClientBody : public ::testing::TestWithParam<BodyCase> {};

TEST_P(HttpClientBody, ComesOutWhole) {
    ScriptedServer server(GetParam().pieces);
    const auto response = HttpClient("127.0.0.1", server.Port(), 5s).Get("/api/v1/me");
    EXPECT_EQ(response.status, 200);
    EXPECT_EQ(response.body, GetParam().body);
    EXPECT_EQ(response.Header("content-type"), "text/plain");
}

INSTANTIATE_TEST_SUITE_P(
    Framings, HttpClientBody,
    ::testing::Values(
        BodyCase{"LengthSplitInTheHead",
                 {"HTTP/1.1 200 OK\r\nContent-Ty",
                  "pe: text/plain\r\nContent-Length: 11\r\n\r\nhel", "lo world"},
                 "hello world"},
        BodyCase{
            "ChunkedSplitInSizesAndData",
            {"HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nTransfer-Encoding: chunked\r\n\r\n"
             "5\r\nhel",
             "lo\r\n1", "0;ext=1\r\n world, and more\r\n", "2\r\n!!\r\n0\r\nX-Trailer: 1\r\n",
             "\r\n"},
            "hello world, and more!!"},
        BodyCase{"UntilClosed",
                 {"HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n\r\nto the ", "end"},
                 "to the end"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(HttpClient, SendsMethodHeadersAndBodyWithItsLength) {
    ScriptedServer server({"HTTP/1.1 204 No Content\r\n\r\n"});
    const auto response = HttpClient("127.0.0.1", server.Port(), 5s)
                              .Post("/login", R"({"user":"a"})", {{"X-Tirvel-Request", "1"}});
    EXPECT_EQ(response.status, 204);
    const std::string& request = server.Request();
    EXPECT_EQ(request.rfind("POST /login HTTP/1.1\r\n", 0), 0u) << request;
    EXPECT_NE(request.find("X-Tirvel-Request: 1\r\n"), std::string::npos) << request;
    EXPECT_NE(request.find("Content-Type: application/json\r\n"), std::string::npos) << request;
    EXPECT_NE(request.find("Content-Length: 12\r\n"), std::string::npos) << request;
}

TEST(HttpClient, ABodyCutShortIsAnErrorNotAnAnswer) {
    ScriptedServer server({"HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nonly this"});
    EXPECT_THROW(HttpClient("127.0.0.1", server.Port(), 5s).Get("/"), std::runtime_error);
}

TEST(HttpClient, AServerThatDoesNotAnswerTimesOut) {
    ScriptedServer server({}, /*holdOpen=*/true);
    EXPECT_THROW(HttpClient("127.0.0.1", server.Port(), 200ms).Get("/"), std::runtime_error);
}

// An event split across reads and chunks, a comment between events, two data
// lines, a default name, then a wait that ends with nothing.
TEST(HttpEventStream, GivesEventsWholeAcrossReadsAndChunks) {
    auto chunk = [](const std::string& data) {
        char size[16];
        std::snprintf(size, sizeof size, "%zx\r\n", data.size());
        return size + data + "\r\n";
    };
    ScriptedServer server(
        {"HTTP/1.1 200 OK\r\nContent-Type: text/event-stream\r\nTransfer-Encoding: chunked\r\n\r\n",
         chunk(": keep-alive\n\nevent: sta"), chunk("tion\ndata: {\"station\":"),
         chunk("\"L1\"}\n"), chunk("\n"), chunk("data: one\r\ndata:two\r\n\r\n")},
        /*holdOpen=*/true);
    auto stream = HttpClient("127.0.0.1", server.Port(), 5s).Stream("/api/v1/events");
    ASSERT_EQ(stream.Status(), 200);
    EXPECT_NE(server.Request().find("Accept: text/event-stream\r\n"), std::string::npos);

    const auto first = stream.Next(5s);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->event, "station");
    EXPECT_EQ(first->data, R"({"station":"L1"})");
    const auto second = stream.Next(5s);
    ASSERT_TRUE(second);
    EXPECT_EQ(second->event, "message");
    EXPECT_EQ(second->data, "one\ntwo");
    EXPECT_FALSE(stream.Next(100ms));
    EXPECT_FALSE(stream.Closed());
}

}  // namespace
