// tirvel-line as the line bench starts it: the real program on a real
// server, reached at the port it chose with the token it made, and gone with
// its object. A bench that timed refusals, or a program left running, would
// give figures of nothing.
#include <gtest/gtest.h>

#include <signal.h>

#include <cerrno>
#include <stdexcept>

#include "HttpClient.h"
#include "LineProcess.h"
#include "PostgresTest.h"
#include "TempDir.h"
#include "records/ServerRecordStore.h"

namespace {

class LineProcessTest : public testsupport::PostgresTest {
protected:
    void SetUp() override {
        testsupport::PostgresTest::SetUp();
        if (!IsSkipped()) {
            records::OpenServerStore(Uri(), std::chrono::seconds(10));
        }
    }
    testsupport::TempDir dir_;
};

TEST_F(LineProcessTest, ServesAtThePortItSaysToTheTokenItMade) {
    const std::string token = bench::MakeToken(TIRVEL_LINE_PATH, Uri(), dir_.Path());
    bench::LineProcess line(TIRVEL_LINE_PATH, Uri(), dir_.Path());
    ASSERT_NE(line.Port(), 0);
    const testsupport::HttpClient client("127.0.0.1", line.Port(), std::chrono::seconds(10));
    EXPECT_EQ(client.Get("/api/v1/records?limit=1", {{"Authorization", "Bearer " + token}}).status,
              200);
    EXPECT_EQ(client.Get("/api/v1/records?limit=1").status, 401);
    EXPECT_EQ(client.Get("/api/v1/records?limit=1", {{"Authorization", "Bearer x" + token}}).status,
              401);
}

TEST_F(LineProcessTest, IsGoneWithItsObject) {
    pid_t pid = -1;
    {
        bench::LineProcess line(TIRVEL_LINE_PATH, Uri(), dir_.Path());
        pid = line.Pid();
        ASSERT_EQ(::kill(pid, 0), 0);
    }
    EXPECT_EQ(::kill(pid, 0), -1);
    EXPECT_EQ(errno, ESRCH);
}

TEST_F(LineProcessTest, AProgramThatEndsInsteadOfServingIsAnError) {
    EXPECT_THROW(bench::LineProcess("/bin/false", Uri(), dir_.Path()), std::runtime_error);
    EXPECT_THROW(bench::MakeToken("/bin/true", Uri(), dir_.Path()), std::runtime_error);
    EXPECT_THROW(
        bench::MakeToken(TIRVEL_LINE_PATH, "postgresql:///none?host=/nonexistent", dir_.Path()),
        std::runtime_error);
}

}  // namespace
