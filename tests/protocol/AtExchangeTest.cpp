#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "Peer.h"
#include "protocol/AtExchange.h"

using namespace std::chrono_literals;
using testsupport::Peer;
using testsupport::PortGuard;
using testsupport::PseudoTerminal;
using Clock = std::chrono::steady_clock;

namespace {

class AtExchange : public ::testing::Test {
protected:
    void SetUp() override { SetDeviceEchoes(false); }
    void TearDown() override { SetDeviceEchoes(false); }

    PseudoTerminal pty_;
    PortGuard port_{testsupport::OpenAtPort(pty_)};

    int Send(const char* command, std::vector<testsupport::Step> steps, int limit = 5) {
        Peer peer(pty_, command, std::move(steps));
        const auto start = Clock::now();
        int r = SendAtCommand(port_.get(), command, limit);
        lastDuration_ = Clock::now() - start;
        EXPECT_EQ(peer.Received(), command);
        return r;
    }

    // How long the last exchange itself took (the peer may go on afterwards).
    Clock::duration lastDuration_{};
};

TEST_F(AtExchange, RecognisesOkSplitOverReads) {
    ASSERT_NE(port_.get(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(Send("AT+TEST\r", {{0ms, "O"}, {150ms, "K\r\n"}}), kAtSuccess);
    EXPECT_EQ(Send("AT+TEST\r", {{0ms, "AT+TEST\r\r\nOK"}, {150ms, "\r"}, {150ms, "\n"}}),
              kAtSuccess);
}

TEST_F(AtExchange, PasswordPromptCombinations) {
    EXPECT_EQ(Send("AT+TEST\r", {{0ms, "\r\nNEED PWD\r\nOK\r\n"}}), kAtSuccess);
    EXPECT_EQ(Send("AT+TEST\r", {{0ms, "\r\nNEED PWD\r\n"}, {50ms, "ERROR\r\n"}}),
              kAtPasswordRequired);
    // Only the prompt: the exchange runs out its empty reads and still says 4.
    EXPECT_EQ(Send("AT+TEST\r", {{0ms, "\r\nNEED PWD\r\n"}}), kAtPasswordRequired);
    EXPECT_GE(lastDuration_, 500ms);
}

TEST_F(AtExchange, ErrorCountsOnlyWithALaterLineEnd) {
    // "ERROR" before the final line end fails at once...
    EXPECT_EQ(Send("AT+SET=1,x\r", {{0ms, "ERROR"}, {150ms, "\r\n"}}, 10), kAtFailure);
    // ...but an "ERROR" with no line end after it does not end the exchange.
    EXPECT_EQ(Send("AT+TEST\r", {{0ms, "OK\r\nERROR"}}), kAtSuccess);
    EXPECT_EQ(Send("AT+TEST\r", {{0ms, "ERR"}, {150ms, "OR"}, {150ms, " but OK\r\n"}}), kAtFailure);
}

TEST_F(AtExchange, EmptyReadsAreCountedOverTheWholeExchange) {
    // A byte every 300 ms leaves two empty reads in each gap. Were the allowance
    // restored by data, the "OK" at 2 s would be reached; counted over the whole
    // exchange, the sixth empty read ends it first.
    EXPECT_EQ(Send("AT+TEST\r",
                   {{0ms, "."}, {300ms, "."}, {300ms, "."}, {300ms, "."}, {1100ms, "OK\r\n"}}),
              kAtFailure);
    EXPECT_LT(lastDuration_, 1800ms);
}

TEST_F(AtExchange, SilenceEndsAfterTheLimit) {
    EXPECT_EQ(Send("AT+QUIT\r", {}), kAtFailure);
    EXPECT_GE(lastDuration_, 550ms);  // six reads of 100 ms
    EXPECT_EQ(Send("AT+RESTORE\r", {}, 10), kAtFailure);
    EXPECT_GE(lastDuration_, 1050ms);  // eleven
}

TEST_F(AtExchange, OnlyTheFirst127BytesAreLookedAt) {
    const std::string noise(127, 'x');
    EXPECT_EQ(Send("AT+TEST\r", {{0ms, noise}, {50ms, "OK\r\n"}}), kAtFailure);
    // A full buffer turns further reads into empty ones at once.
    EXPECT_LT(lastDuration_, 500ms);
    // Set-up purges the late "OK" so the next exchange starts clean.
    std::this_thread::sleep_for(150ms);
    ComPortSettings settings{28800, 8, 0, 0, 0};
    SetupComPortTimed(port_.get(), &settings);
    EXPECT_EQ(Send("AT+TEST\r", {{0ms, std::string(121, 'x') + "\r\nOK\r\n"}}), kAtSuccess);
}

TEST_F(AtExchange, QueryLeavesTheWholeReplyInTheBuffer) {
    char reply[1024];
    std::fill(std::begin(reply), std::end(reply), '#');
    Peer peer(pty_, "AT+DTU&IMEI?\r", {{0ms, "\r\n860000000000001\r\n"}, {100ms, "OK\r\n"}});
    ASSERT_EQ(QueryAtCommand(port_.get(), "AT+DTU&IMEI?\r", reply, sizeof reply, 5), kAtSuccess);
    EXPECT_STREQ(reply, "\r\n860000000000001\r\nOK\r\n");
    EXPECT_EQ(reply[sizeof reply - 1], '\0');
}

TEST_F(AtExchange, QueryIgnoresThePasswordPromptAndFailsOnError) {
    char reply[64];
    {
        Peer peer(pty_, "AT+DTU&VER?\r", {{0ms, "\r\nNEED PWD\r\n"}});
        EXPECT_EQ(QueryAtCommand(port_.get(), "AT+DTU&VER?\r", reply, sizeof reply, 5), kAtFailure);
    }
    {
        Peer peer(pty_, "AT+GETDV=0\r", {{0ms, "1,a,b\r\nERROR\r\n"}});
        EXPECT_EQ(QueryAtCommand(port_.get(), "AT+GETDV=0\r", reply, sizeof reply, 5), kAtFailure);
    }
}

// What waited on the line before the command went out answers nothing: a
// late "OK" of an earlier command must not pass for this one's.
TEST_F(AtExchange, InputFromBeforeTheCommandIsNotItsAnswer) {
    pty_.Write("OK\r\n");
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(Send("AT+SET=2,x\r", {{300ms, "ERROR\r\n"}}, 10), kAtFailure);
    pty_.Write("AT+GETDV=0\r\r\nOK\r\n");
    std::this_thread::sleep_for(50ms);
    char reply[256];
    Peer peer(pty_, "AT+GETDV=0\r", {{100ms, "1,a,b\r\n2,c,d\r\nOK\r\n"}});
    ASSERT_EQ(QueryAtCommand(port_.get(), "AT+GETDV=0\r", reply, sizeof reply, 5), kAtSuccess);
    EXPECT_STREQ(reply, "1,a,b\r\n2,c,d\r\nOK\r\n");
}

// A device that never falls silent for a whole read, one byte every 90 ms,
// would hold an exchange until its buffer filled (127 reads, 11 s) or, for a
// listing, for minutes; the clock ends it with its allowance.
TEST_F(AtExchange, TricklingDeviceIsEndedByTheClock) {
    std::vector<testsupport::Step> trickle;
    for (int i = 0; i < 60; ++i) {
        trickle.push_back({90ms, "."});
    }
    EXPECT_EQ(Send("AT+TEST\r", trickle), kAtFailure);
    EXPECT_LT(lastDuration_, ExchangeTimeLimit(5, 127) + 200ms);
}

TEST_F(AtExchange, QueryStopsAtItsBufferSize) {
    char reply[16];
    Peer peer(pty_, "AT+GETDV=0\r", {{0ms, "1,name,value-that-is-long\r\nOK\r\n"}});
    EXPECT_EQ(QueryAtCommand(port_.get(), "AT+GETDV=0\r", reply, sizeof reply, 2), kAtFailure);
    EXPECT_EQ(std::string(reply), "1,name,value-th");
}

// Once a reply showed the echo, lines that come before the echo of a later
// command are the device's own: they end nothing and are not in the reply.
TEST_F(AtExchange, AfterTheEchoWasSeenLinesBeforeTheEchoAnswerNothing) {
    EXPECT_EQ(Send("AT+TEST\r", {{0ms, "AT+TEST\rOK\r\n"}}), kAtSuccess);
    EXPECT_TRUE(DeviceEchoes());
    char reply[64];
    Peer peer(pty_, "AT+DTU&IMEI?\r",
              {{0ms, "OK\r\nERROR\r\n"}, {50ms, "AT+DTU&IMEI?\r\r\n8612\r\nOK\r\n"}});
    EXPECT_EQ(QueryAtCommand(port_.get(), "AT+DTU&IMEI?\r", reply, sizeof reply, 5), kAtSuccess);
    EXPECT_STREQ(reply, "AT+DTU&IMEI?\r\r\n8612\r\nOK\r\n");
}

struct ReplyCase {
    const char* text;
    ReplyEnd end;
    std::size_t length;  // of the reply up to its result line
    bool afterEcho = false;
};

class ReplyLines : public ::testing::TestWithParam<ReplyCase> {};

// A result is a whole line: the protocol's words inside a value, or at the end
// of one, are the value's; where the device echoes, it follows the echo.
TEST_P(ReplyLines, ResultIsAWholeLine) {
    const ReplyClass verdict = ClassifyReply(GetParam().text, GetParam().afterEcho);
    EXPECT_EQ(verdict.end, GetParam().end);
    EXPECT_EQ(verdict.length, GetParam().length);
}

INSTANTIATE_TEST_SUITE_P(
    AtExchange, ReplyLines,
    ::testing::Values(ReplyCase{"OK\r\n", ReplyEnd::kOk, 4},
                      ReplyCase{"AT+TEST\rOK\r\n", ReplyEnd::kOk, 12},
                      ReplyCase{"AT+GETDV=0\r\r\n1,a,b\r\nOK\r\nstale", ReplyEnd::kOk, 24},
                      ReplyCase{"\r\n7,Link,LINK OK\r\n", ReplyEnd::kOpen, 0},
                      ReplyCase{"\r\n7,Link,OK\r\n8,Log,NO ERROR\r\n", ReplyEnd::kOpen, 0},
                      ReplyCase{"\r\nNO ERROR\r\nOK\r\n", ReplyEnd::kOk, 16},
                      ReplyCase{"xOK\r\n", ReplyEnd::kOpen, 0}, ReplyCase{"OK", ReplyEnd::kOpen, 0},
                      ReplyCase{"AT+SET=1,x\rERROR\r\n", ReplyEnd::kError, 18},
                      ReplyCase{"\r\nERROR: 3\r\n", ReplyEnd::kError, 12},
                      ReplyCase{"1,a,b\rOK\r\n", ReplyEnd::kOpen, 0},
                      ReplyCase{"+STATUS: 1\r\nAT+TEST\rOK\r\n", ReplyEnd::kOk, 24},
                      ReplyCase{"OK\r\n", ReplyEnd::kOpen, 0, true},
                      ReplyCase{"AT+TEST\r", ReplyEnd::kOpen, 0, true},
                      ReplyCase{"OK\r\nAT+GETDV=0\r\r\n1,a,b\r\nOK\r\n", ReplyEnd::kOk, 28, true},
                      ReplyCase{"ERROR\r\n+STATUS: 1\r\nAT+SET=1,x\rOK\r\n", ReplyEnd::kOk, 34,
                                true}));

TEST(AtExchangeWithoutPort, FailsAfterItsEmptyReads) {
    EXPECT_EQ(SendAtCommand(INVALID_HANDLE_VALUE, "AT+TEST\r", 5), kAtFailure);
    char reply[8];
    EXPECT_EQ(QueryAtCommand(INVALID_HANDLE_VALUE, "AT+TEST\r", reply, sizeof reply, 5),
              kAtFailure);
    EXPECT_EQ(QueryAtCommand(INVALID_HANDLE_VALUE, "AT+TEST\r", nullptr, 0, 5), kAtFailure);
}

}  // namespace
