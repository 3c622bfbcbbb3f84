#include "LineFixture.h"

#include "records/PgConnection.h"
#include "records/ServerRecordStore.h"

namespace testsupport {

void LineFixture::SetUp() {
    PostgresTest::SetUp();
    if (IsSkipped()) {
        return;
    }
    // The first station to reach a server makes its tables.
    records::OpenServerStore(Uri(), std::chrono::seconds(10));
    db_ = std::make_unique<line::LineDatabase>(Uri());
    db_->With([this](records::PgConnection& c) {
        line::MakeAuthTables(c);
        line::AddUser(c, "lead", line::Role::Admin, "lead-password");
        line::AddUser(c, "viewer", line::Role::Viewer, "viewer-password");
        token_ = line::AddToken(c, "mes", "lead").token;
        return 0;
    });
    api_ = std::make_unique<line::LineApi>(*db_, hub_, sessions_);
}

void LineFixture::AddRecords(const std::vector<records::DeviceRecord>& list) {
    records::OpenServerStore(Uri(), std::chrono::seconds(10))->AddAll(list);
}

void LineFixture::PutStation(const std::string& name, int ports, int secondsAgo) {
    records::PgConnection c(Uri(), std::chrono::seconds(5), std::chrono::seconds(5), -1);
    const std::string heard = "now() - interval '" + std::to_string(secondsAgo) + " seconds'";
    c.Exec(
        "INSERT INTO line_stations (station, job, file_name, file_sha256, done, failed, "
        "count, devices_per_hour, phase, started_at, changed_at, heartbeat_at, ports) "
        "VALUES ($1, 'batch', 'profile.txt', repeat('c', 64), 5, 1, 10, 42.5, 'running', " +
            heard + ", " + heard + ", " + heard + ", " + std::to_string(ports) + ")",
        {records::schema::Required(name)});
    for (int port = 0; port < ports; ++port) {
        c.Exec("INSERT INTO line_station_ports VALUES ($1, " + std::to_string(port) +
                   ", '/dev/ttyUSB" + std::to_string(port) +
                   "', 'working', '正在写入', '86100000000000" + std::to_string(port) +
                   "', 500, 3, 1, 'OK', true, '')",
               {records::schema::Required(name)});
    }
}

std::string LineFixture::Asked::Header(const std::string& name) const {
    for (const auto& [key, value] : response->headers) {
        if (key == name) {
            return value;
        }
    }
    return {};
}

LineFixture::Asked LineFixture::Ask(line::HttpRequest request) {
    last_ = api_->Answer(request);
    Asked asked;
    asked.status = last_.status;
    asked.text = last_.body;
    asked.response = &last_;
    if (last_.contentType.rfind("application/json", 0) == 0) {
        asked.body = nlohmann::json::parse(last_.body);
    }
    return asked;
}

LineFixture::Asked LineFixture::Get(
    const std::string& path, const std::vector<std::pair<std::string, std::string>>& query,
    const std::string& token, const std::vector<std::pair<std::string, std::string>>& headers) {
    line::HttpRequest request;
    request.method = "GET";
    request.path = path;
    request.query = query;
    request.headers = headers;
    const std::string given = token == "use-the-fixture's" ? token_ : token;
    if (!given.empty()) {
        request.headers.emplace_back("authorization", "Bearer " + given);
    }
    return Ask(request);
}

std::string LineFixture::LogIn(const std::string& user, const std::string& password) {
    line::HttpRequest request;
    request.method = "POST";
    request.path = "/login";
    request.body = nlohmann::json{{"user", user}, {"password", password}}.dump();
    const Asked asked = Ask(request);
    const std::string cookie = asked.Header("Set-Cookie");
    return asked.status == 200 ? cookie.substr(0, cookie.find(';')) : std::string();
}

}  // namespace testsupport
