// A line's server for tirvel-line's cases: a fresh database with the
// stations' schema, records put there as stations put them, a login of each
// role and a token, and the API answering requests made in the case.
#pragma once

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "PostgresTest.h"
#include "line/EventHub.h"
#include "line/LineApi.h"
#include "line/LineAuth.h"
#include "line/LineDatabase.h"
#include "records/DeviceRecord.h"

namespace testsupport {

class LineFixture : public PostgresTest {
protected:
    void SetUp() override;

    void AddRecords(const std::vector<records::DeviceRecord>& list);
    // A station of ports rows as a station's publisher leaves it, heard from
    // secondsAgo before the server's now.
    void PutStation(const std::string& name, int ports, int secondsAgo = 0);

    struct Asked {
        int status = 0;
        nlohmann::json body;  // null when the answer was not JSON
        std::string text;
        const line::HttpResponse* response = nullptr;
        std::string Header(const std::string& name) const;
    };
    // A request as a program with the token makes it ("" for none).
    Asked Get(const std::string& path,
              const std::vector<std::pair<std::string, std::string>>& query = {},
              const std::string& token = "use-the-fixture's",
              const std::vector<std::pair<std::string, std::string>>& headers = {});
    Asked Ask(line::HttpRequest request);
    // The session cookie of a login, "" when refused.
    std::string LogIn(const std::string& user, const std::string& password);

    std::unique_ptr<line::LineDatabase> db_;
    line::EventHub hub_;
    line::Sessions sessions_;
    std::unique_ptr<line::LineApi> api_;
    std::string token_;
    line::HttpResponse last_;
};

}  // namespace testsupport
