// A suite of tests against one PostgreSQL server of its own, each test with a
// fresh database on it. Skipped (with the reason) where PostgreSQL is not
// installed.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "PostgresServer.h"

namespace testsupport {

// Base is the fixture the suite stands on otherwise (::testing::Test, or one
// that runs programs).
template <class Base>
class PostgresTestOn : public Base {
protected:
    static void SetUpTestSuite() {
        if (PostgresServer::Unavailable().empty()) {
            server_ = std::make_unique<PostgresServer>();
        }
    }
    static void TearDownTestSuite() { server_.reset(); }

    void SetUp() override {
        Base::SetUp();
        if (!::testing::Test::IsSkipped()) {
            UseServer();
        }
    }
    // Skips the test where there is no server, else gives it a fresh database.
    void UseServer() {
        if (!server_) {
            GTEST_SKIP() << PostgresServer::Unavailable();
        }
        uri_ = server_->NewDatabase();
    }

    static PostgresServer& Server() { return *server_; }
    const std::string& Uri() const { return uri_; }
    // A value from this test's database.
    std::string Scalar(const std::string& sql) const { return PostgresServer::Scalar(uri_, sql); }

private:
    static inline std::unique_ptr<PostgresServer> server_;
    std::string uri_;
};

using PostgresTest = PostgresTestOn<::testing::Test>;

}  // namespace testsupport
