// The statements both client libraries send are made once: a slip in their
// marks would put a value in another column on every station. And the signal
// that stops a pusher must reach a wait however late the wait began.
#include <gtest/gtest.h>
#include <poll.h>

#include <string>
#include <string_view>

#include "SampleRecord.h"
#include "records/ServerLink.h"
#include "records/ServerQueries.h"
#include "records/StopSignal.h"

namespace {

namespace server = records::server;

// The two ways of marking a value the stores use: numbered, and "?".
struct Numbered {
    static std::string Placeholder(int number, std::string_view type) {
        return "$" + std::to_string(number) + (type.empty() ? "" : ":" + std::string(type));
    }
    static std::string ReadBytes(std::string_view column) { return std::string(column); }
};
struct Unnumbered {
    static std::string Placeholder(int, std::string_view type) {
        return type.empty() ? "?" : "CAST(? AS " + std::string(type) + ")";
    }
    static std::string ReadBytes(std::string_view column) {
        return "encode(" + std::string(column) + ", 'hex')";
    }
};

TEST(ServerQueries, EveryRowOfAnInsertNumbersItsValuesOnFromTheLast) {
    using records::schema::Type;
    const records::schema::RecordTable table{"t",
                                             {{"a", Type::Id, "", 1, nullptr, nullptr},
                                              {"b", Type::Text, "", 1, nullptr, nullptr},
                                              {"c", Type::Bytes, "", 1, nullptr, nullptr}},
                                             "",
                                             1,
                                             false};
    EXPECT_EQ(server::InsertSql<Numbered>(table, 2),
              "INSERT INTO t (\"a\", \"b\", \"c\") VALUES ($1:uuid, $2, $3:bytea), "
              "($4:uuid, $5, $6:bytea)");
    EXPECT_EQ(server::InsertSql<Unnumbered>(table, 1),
              "INSERT INTO t (\"a\", \"b\", \"c\") VALUES (CAST(? AS uuid), ?, CAST(? AS "
              "bytea))");
}

// A column that comes with a later version is left out of the table the
// first one makes, and added by its own version's step.
TEST(ServerQueries, AColumnOfALaterVersionIsAddedByItsMigration) {
    using records::schema::Type;
    const records::schema::RecordTable table{"t",
                                             {{"a", Type::Id, "PRIMARY KEY", 1, nullptr, nullptr},
                                              {"b", Type::Bytes, "", 2, nullptr, nullptr}},
                                             "",
                                             1,
                                             true};
    const auto steps = [&](int version) {
        std::vector<std::string> made;
        records::schema::TableSteps<server::ServerDdl>(table, version, made);
        return made;
    };
    EXPECT_EQ(steps(1),
              std::vector<std::string>{"CREATE TABLE t (\n    \"a\" uuid PRIMARY KEY\n)"});
    EXPECT_EQ(steps(2), std::vector<std::string>{"ALTER TABLE t ADD COLUMN \"b\" bytea"});
    EXPECT_EQ(steps(3), std::vector<std::string>{});
}

TEST(ServerQueries, EachIdGoesOnceInOneOrderWhateverItsCase) {
    records::DeviceRecord first = testsupport::Numbered(1);
    records::DeviceRecord again = first;
    again.id = "B" + first.id.substr(1);
    first.id = "b" + first.id.substr(1);
    again.station = "another";
    records::DeviceRecord other = testsupport::Numbered(2);
    other.id = "a" + other.id.substr(1);
    const std::vector<records::DeviceRecord> batch = {first, other, again};
    const auto distinct = server::DistinctById(batch);
    ASSERT_EQ(distinct.size(), 2U);
    EXPECT_EQ(distinct[0]->id, other.id);
    // The first one given is kept, not the one that came later.
    EXPECT_EQ(distinct[1]->station, first.station);
}

TEST(ServerQueries, OnlyAUuidNamesARecord) {
    EXPECT_TRUE(server::LooksLikeUuid("3ef052cf-4523-49bb-8af8-a39d69d30fcb"));
    EXPECT_TRUE(server::LooksLikeUuid("3EF052CF-4523-49BB-8AF8-A39D69D30FCB"));
    for (const char* id : {"", "3ef052cf", "3ef052cf-4523-49bb-8af8-a39d69d30fcg",
                           "3ef052cf-4523-49bb-8af8a-39d69d30fcb", "'; DROP TABLE x; --"}) {
        EXPECT_FALSE(server::LooksLikeUuid(id)) << id;
    }
}

TEST(Backoff, WaitsDoubleUpToTheLongestAndStartOverAfterASuccess) {
    records::Backoff backoff({std::chrono::seconds(1), std::chrono::seconds(3)});
    const records::Backoff::Clock::time_point now;
    EXPECT_EQ(backoff.NextTry(), records::Backoff::Clock::time_point());
    EXPECT_EQ(backoff.Failed(now), now + std::chrono::seconds(1));
    EXPECT_EQ(backoff.Failed(now), now + std::chrono::seconds(2));
    EXPECT_EQ(backoff.Failed(now), now + std::chrono::seconds(3));
    EXPECT_EQ(backoff.Failed(now), now + std::chrono::seconds(3));
    EXPECT_TRUE(backoff.Failing());
    backoff.Succeeded();
    EXPECT_FALSE(backoff.Failing());
    EXPECT_EQ(backoff.Failed(now), now + std::chrono::seconds(1));
}

// A stand-in for a client library's connection: the link only makes,
// uses and drops it.
struct FakeConnection {};

TEST(ServerLink, ALostConnectionIsMadeAgainAtOnceAFailedConnectOnlyAfterItsWait) {
    int connects = 0;
    bool reachable = true;
    records::ServerLink<FakeConnection> link(
        [&] {
            ++connects;
            if (!reachable) {
                throw records::StoreError(records::StoreError::Kind::Open, "refused");
            }
            return std::make_unique<FakeConnection>();
        },
        {std::chrono::hours(1), std::chrono::hours(2)});
    const auto use = [&](records::StoreError::Kind fails) {
        try {
            link.With([&](FakeConnection&) { throw records::StoreError(fails, "gone"); });
        } catch (const records::StoreError&) {
        }
    };
    use(records::StoreError::Kind::Other);  // the server answered: kept
    use(records::StoreError::Kind::Open);   // lost: dropped
    EXPECT_EQ(connects, 1);
    reachable = false;
    use(records::StoreError::Kind::Other);  // made again at once, and refused
    EXPECT_EQ(connects, 2);
    reachable = true;
    use(records::StoreError::Kind::Other);  // within the wait: not tried
    EXPECT_EQ(connects, 2);
}

bool Readable(int fd) {
    pollfd entry{fd, POLLIN, 0};
    return ::poll(&entry, 1, 0) == 1;
}

TEST(StopSignal, ReachesAWaitThatBeganBeforeOrAfterIt) {
    records::StopSignal stop;
    int cancelled = 0;
    stop.OnRaise([&] { ++cancelled; });
    EXPECT_FALSE(Readable(stop.Fd()));
    stop.Raise();
    stop.Raise();
    EXPECT_TRUE(stop.Raised());
    EXPECT_TRUE(Readable(stop.Fd()));
    EXPECT_EQ(cancelled, 1);
    // A statement hooked after the stop is cancelled at once.
    stop.OnRaise([&] { ++cancelled; });
    EXPECT_EQ(cancelled, 2);
    stop.OnRaise({});
    EXPECT_TRUE(Readable(stop.Fd()));
}

}  // namespace
