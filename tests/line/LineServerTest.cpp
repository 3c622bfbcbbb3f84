// tirvel-line as browsers and programs reach it over a socket: the bounds
// on what a client may send, the login's cookie, the live stream fed by the
// stations' notifications, and TLS.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "HttpClient.h"
#include "LineFixture.h"
#include "TempDir.h"
#include "line/HttpServer.h"
#include "line/StateListener.h"
#include "records/PgConnection.h"

namespace {

using nlohmann::json;
using testsupport::HttpClient;
using testsupport::HttpHeaders;

class LineServerTest : public testsupport::LineFixture {
protected:
    void SetUp() override {
        LineFixture::SetUp();
        if (IsSkipped()) {
            return;
        }
        Serve(line::HttpSettings{});
    }
    void TearDown() override {
        hub_.Close();
        server_.reset();
        listener_.reset();
    }

    // Again: the hub has ended its streams for good, so only cases without
    // streams serve twice.
    void Serve(line::HttpSettings settings) {
        if (server_) {
            hub_.Close();
            server_.reset();
        }
        settings.port = 0;
        server_ = std::make_unique<line::HttpServer>(
            settings, [this](const line::HttpRequest& r) { return api_->Answer(r); });
    }
    HttpClient Client() const { return HttpClient("127.0.0.1", server_->Port()); }
    HttpHeaders WithToken() const { return {{"Authorization", "Bearer " + token_}}; }

    // What the server sends back to a raw request, until it closes.
    std::string Raw(const std::string& request, int waitMs = 10000) const {
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(server_->Port());
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        EXPECT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        EXPECT_EQ(send(fd, request.data(), request.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(request.size()));
        std::string answer;
        pollfd readable = {fd, POLLIN, 0};
        char buffer[4096];
        while (poll(&readable, 1, waitMs) > 0) {
            const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0) {
                break;
            }
            answer.append(buffer, static_cast<std::size_t>(n));
        }
        close(fd);
        return answer;
    }

    std::unique_ptr<line::StateListener> listener_;
    std::unique_ptr<line::HttpServer> server_;
};

TEST_F(LineServerTest, TooManyHeadersOrTooLargeABodyIsRefusedBeforeItIsRead) {
    std::string many = "GET /api/v1/stations HTTP/1.1\r\nHost: x\r\n";
    for (int i = 0; i < 100; ++i) {
        many += "X-Field-" + std::to_string(i) + ": 1\r\n";
    }
    EXPECT_EQ(Raw(many + "\r\n").substr(0, 12), "HTTP/1.1 431");
    const std::string large =
        "POST /login HTTP/1.1\r\nHost: x\r\nContent-Length: 10000000\r\n\r\n{";
    EXPECT_EQ(Raw(large).substr(0, 12), "HTTP/1.1 413");
    EXPECT_EQ(Raw("GET /api/v1/openapi.json HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n")
                  .substr(0, 12),
              "HTTP/1.1 200");
}

TEST_F(LineServerTest, AClientThatStopsMidRequestIsLetGo) {
    line::HttpSettings settings;
    settings.idleSeconds = 1;
    Serve(settings);
    // Half a request line, then nothing: the server closes (an empty answer)
    // long before the test's own wait of 20 s.
    EXPECT_EQ(Raw("GET /api/v1/sta", 20000), "");
}

TEST_F(LineServerTest, ThePageNeedsALoginAndTheCookieIsItsOwn) {
    const auto bare = Client().Get("/");
    EXPECT_EQ(bare.status, 303);
    EXPECT_EQ(bare.Header("Location").value_or(""), "/login");
    EXPECT_EQ(Client().Get("/login").status, 200);

    const auto login =
        Client().Post("/login", R"({"user": "viewer", "password": "viewer-password"})");
    ASSERT_EQ(login.status, 200) << login.body;
    const std::string cookie = login.Header("Set-Cookie").value_or("");
    EXPECT_NE(cookie.find("HttpOnly"), std::string::npos);
    EXPECT_NE(cookie.find("SameSite=Strict"), std::string::npos);
    const HttpHeaders session = {{"Cookie", cookie.substr(0, cookie.find(';'))}};
    const auto page = Client().Get("/", session);
    EXPECT_EQ(page.status, 200);
    EXPECT_NE(page.Header("Content-Security-Policy").value_or("").find("default-src 'self'"),
              std::string::npos);

    EXPECT_EQ(Client().Post("/logout", "", session).status, 200);
    EXPECT_EQ(Client().Get("/api/v1/me", session).status, 401);
}

TEST_F(LineServerTest, AStationsChangeReachesTheStreamAndSoDoesItsSilence) {
    PutStation("st1", 2);
    listener_ = std::make_unique<line::StateListener>(Uri(), hub_);
    EXPECT_EQ(Client().Get("/api/v1/events").status, 401);
    auto stream = Client().Stream("/api/v1/events", WithToken());
    ASSERT_EQ(stream.Status(), 200);
    EXPECT_EQ(stream.Headers().Find("Content-Type").value_or(""),
              "text/event-stream; charset=utf-8");
    const auto until = [&stream](const std::function<bool(const json&)>& holds) {
        for (int i = 0; i < 60; ++i) {
            const auto event = stream.Next(std::chrono::milliseconds(500));
            if (event && event->event == "station" && holds(json::parse(event->data))) {
                return true;
            }
        }
        return false;
    };
    EXPECT_TRUE(until([](const json& s) { return s["station"] == "st1"; }));

    records::PgConnection c(Uri(), std::chrono::seconds(5), std::chrono::seconds(5), -1);
    c.Exec("BEGIN");
    c.Exec(
        "UPDATE line_station_ports SET phase = 'ok', last_verdict = 'done' "
        "WHERE station = 'st1' AND port_no = 1");
    c.Exec("SELECT pg_notify('tirvel_line', 'st1')");
    c.Exec("COMMIT");
    EXPECT_TRUE(until([](const json& s) { return s["ports"][1]["phase"] == "ok"; }));

    // Nothing told: the clock alone makes it offline.
    c.Exec("UPDATE line_stations SET heartbeat_at = now() - interval '40 seconds'");
    EXPECT_TRUE(until([](const json& s) { return s["online"] == false; }));
}

TEST_F(LineServerTest, AStreamOpenedLaterStartsWithEveryStation) {
    PutStation("st1", 1);
    PutStation("st2", 1);
    listener_ = std::make_unique<line::StateListener>(Uri(), hub_);
    for (int i = 0; i < 100 && !listener_->Listening(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    auto stream = Client().Stream("/api/v1/events", WithToken());
    std::set<std::string> told;
    while (auto event = stream.Next(std::chrono::seconds(3))) {
        if (event->event == "station") {
            told.insert(json::parse(event->data)["station"].get<std::string>());
        }
        if (told.size() == 2) {
            break;
        }
    }
    EXPECT_EQ(told, (std::set<std::string>{"st1", "st2"}));
}

TEST_F(LineServerTest, TlsServesWithTheCertificateGiven) {
    testsupport::TempDir dir;
    const std::string cert = (dir.Path() / "cert.pem").string();
    const std::string key = (dir.Path() / "key.pem").string();
    const std::string make =
        "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 "
        "-nodes -subj /CN=localhost -addext subjectAltName=DNS:localhost "
        "-days 1 -keyout " +
        key + " -out " + cert + " 2>/dev/null";
    if (std::system(make.c_str()) != 0 || std::system("curl --version >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "openssl and curl make and check the certificate";
    }
    const auto read = [](const std::string& path) {
        std::ifstream in(path);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    line::HttpSettings settings;
    settings.certificatePem = read(cert);
    settings.keyPem = read(key);
    Serve(settings);
    const std::string url = "https://localhost:" + std::to_string(server_->Port());
    const auto curl = [&](const std::string& args) {
        std::string out;
        FILE* pipe = popen(("curl -s " + args + " 2>&1").c_str(), "r");
        char buffer[512];
        while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
            out += buffer;
        }
        pclose(pipe);
        return out;
    };
    EXPECT_EQ(curl("--cacert " + cert + " " + url + "/api/v1/health"), R"({"database":true})");
    EXPECT_EQ(
        curl("-o /dev/null -w '%{http_code}' --cacert " + cert + " " + url + "/api/v1/stations"),
        "401");
    EXPECT_EQ(Raw("GET /api/v1/health HTTP/1.1\r\nHost: x\r\n\r\n", 3000).find("database"),
              std::string::npos)
        << "no plain HTTP on the TLS port";

    settings.keyPem = "not a key";
    EXPECT_THROW(
        line::HttpServer(settings, [](const line::HttpRequest&) { return line::HttpResponse{}; }),
        line::HttpError);
}

}  // namespace
