#include "records/PgConnection.h"

#include <libpq-fe.h>
#include <poll.h>

#include <cerrno>
#include <string_view>
#include <vector>

#include "records/RecordStore.h"

namespace records {

namespace {

using Clock = std::chrono::steady_clock;

constexpr Oid kByteaOid = 17;  // pg_type's bytea: binary values need their type named
constexpr int kTextFormat = 0;
constexpr int kBinaryFormat = 1;

std::string Trimmed(const char* text) {
    std::string_view view(text == nullptr ? "" : text);
    while (!view.empty() && (view.back() == '\n' || view.back() == ' ')) {
        view.remove_suffix(1);
    }
    return std::string(view);
}

// SQLSTATE classes that say the server, not the statement, is the trouble:
// connection exceptions (08) and a server shutting down or starting (57P0x).
bool ServerGone(const char* sqlState) {
    const std::string_view state(sqlState == nullptr ? "" : sqlState);
    return state.starts_with("08") || state.starts_with("57P0");
}

}  // namespace

PgConnection::PgConnection(const std::string& uri, std::chrono::milliseconds connectTimeout,
                           std::chrono::milliseconds answerTimeout, int interruptFd)
    : conn_(nullptr, PQfinish), answerTimeout_(answerTimeout), interruptFd_(interruptFd) {
    Connect(uri, connectTimeout);
}

PgConnection::~PgConnection() = default;

void PgConnection::Connect(const std::string& uri, std::chrono::milliseconds timeout) {
    // Keepalives find a peer that vanished (a TCP connection only); the URI's
    // own settings come after them and win. The waits below keep the time:
    // libpq's connect_timeout does not hold for a connection made this way.
    const char* keywords[] = {"keepalives",       "keepalives_idle", "keepalives_interval",
                              "keepalives_count", "dbname",          nullptr};
    const char* values[] = {"1", "10", "5", "3", uri.c_str(), nullptr};
    conn_.reset(PQconnectStartParams(keywords, values, 1));
    if (!conn_) {
        throw std::bad_alloc();
    }
    if (PQstatus(conn_.get()) == CONNECTION_BAD) {
        Lost(Trimmed(PQerrorMessage(conn_.get())));
    }
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        switch (PQconnectPoll(conn_.get())) {
            case PGRES_POLLING_OK:
                // Notices ("already exists, skipping") are for someone at a
                // console; a station has no one to read them.
                PQsetNoticeProcessor(
                    conn_.get(), [](void*, const char*) {}, nullptr);
                if (PQsetnonblocking(conn_.get(), 1) != 0) {
                    Lost(Trimmed(PQerrorMessage(conn_.get())));
                }
                return;
            case PGRES_POLLING_FAILED:
                Lost(Trimmed(PQerrorMessage(conn_.get())));
            case PGRES_POLLING_WRITING:
                WaitFor(true, deadline);
                break;
            default:
                WaitFor(false, deadline);
                break;
        }
    }
}

void PgConnection::WaitFor(bool write, Clock::time_point deadline) {
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            Lost("the server did not answer in time");
        }
        pollfd fds[2] = {{PQsocket(conn_.get()), static_cast<short>(write ? POLLOUT : POLLIN), 0},
                         {interruptFd_, POLLIN, 0}};
        const int rc = ::poll(fds, interruptFd_ >= 0 ? 2 : 1, static_cast<int>(left.count()));
        if (rc < 0 && errno != EINTR) {
            Lost("poll failed");
        }
        if (rc > 0 && interruptFd_ >= 0 && fds[1].revents != 0) {
            Lost("interrupted");
        }
        if (rc > 0 && fds[0].revents != 0) {
            return;
        }
    }
}

std::vector<std::string> PgConnection::Notifications(std::chrono::milliseconds wait) {
    const auto take = [this] {
        if (PQconsumeInput(conn_.get()) == 0) {
            Lost(PQerrorMessage(conn_.get()));
        }
        std::vector<std::string> payloads;
        while (PGnotify* notice = PQnotifies(conn_.get())) {
            payloads.emplace_back(notice->extra != nullptr ? notice->extra : "");
            PQfreemem(notice);
        }
        return payloads;
    };
    std::vector<std::string> payloads = take();
    if (!payloads.empty() || wait.count() <= 0) {
        return payloads;
    }
    pollfd fds[2] = {{PQsocket(conn_.get()), POLLIN, 0}, {interruptFd_, POLLIN, 0}};
    const int rc = ::poll(fds, interruptFd_ >= 0 ? 2 : 1, static_cast<int>(wait.count()));
    if (rc < 0 && errno != EINTR) {
        Lost("poll failed");
    }
    if (rc > 0 && interruptFd_ >= 0 && fds[1].revents != 0) {
        Lost("interrupted");
    }
    return rc > 0 ? take() : payloads;
}

void PgConnection::Lost(const std::string& why) {
    broken_ = true;
    throw StoreError(StoreError::Kind::Open, why);
}

void PgConnection::Send(const std::string& sql, const schema::Values* params) {
    if (broken_) {
        throw StoreError(StoreError::Kind::Open, "the connection to the server was lost");
    }
    int sent = 0;
    if (params == nullptr) {
        sent = PQsendQuery(conn_.get(), sql.c_str());
    } else {
        const std::size_t count = params->size();
        std::vector<std::string> texts(count);
        std::vector<const char*> values(count, nullptr);
        std::vector<int> lengths(count, 0);
        std::vector<int> formats(count, kTextFormat);
        std::vector<Oid> types(count, 0);
        for (std::size_t i = 0; i < count; ++i) {
            const schema::Value& value = (*params)[i];
            if (value.kind == schema::Value::Kind::Null) {
                continue;
            }
            texts[i] = schema::TextForm(value);
            values[i] = texts[i].c_str();
            lengths[i] = static_cast<int>(texts[i].size());
            if (value.kind == schema::Value::Kind::Bytes) {
                formats[i] = kBinaryFormat;
                types[i] = kByteaOid;
            }
        }
        sent = PQsendQueryParams(conn_.get(), sql.c_str(), static_cast<int>(count), types.data(),
                                 values.data(), lengths.data(), formats.data(), 0);
    }
    if (sent == 0) {
        Lost(Trimmed(PQerrorMessage(conn_.get())));
    }
}

PgResult PgConnection::Exec(const std::string& sql, const schema::Values& params) {
    Send(sql, &params);
    return Finish();
}

void PgConnection::ExecEach(const std::string& sql, const schema::Values& params,
                            const std::function<void(const PgResult&, int row)>& visit) {
    Send(sql, &params);
    if (PQsetSingleRowMode(conn_.get()) == 0) {
        Lost("the server's rows cannot be read one at a time");
    }
    // The last result (no rows) only ends the answer.
    Receive([&visit](const PgResult& result) {
        for (int row = 0; row < result.Rows(); ++row) {
            visit(result, row);
        }
    });
}

void PgConnection::ExecScript(const std::string& sql) {
    Send(sql, nullptr);
    Finish();
}

void PgConnection::Flush(Clock::time_point deadline) {
    // A large batch leaves the buffer in parts; the server may answer (an
    // error, a notice) before it has read all of it, so reading goes on too.
    for (;;) {
        const int flushed = PQflush(conn_.get());
        if (flushed < 0) {
            Lost(Trimmed(PQerrorMessage(conn_.get())));
        }
        if (flushed == 0) {
            break;
        }
        WaitFor(true, deadline);
        if (PQconsumeInput(conn_.get()) == 0) {
            Lost(Trimmed(PQerrorMessage(conn_.get())));
        }
    }
}

PGresult* PgConnection::NextResult(Clock::time_point deadline) {
    while (PQisBusy(conn_.get()) != 0) {
        WaitFor(false, deadline);
        if (PQconsumeInput(conn_.get()) == 0) {
            Lost(Trimmed(PQerrorMessage(conn_.get())));
        }
    }
    return PQgetResult(conn_.get());
}

PgResult PgConnection::Finish() {
    PgResult last(nullptr);
    Receive([&last](const PgResult& result) { last = result; });
    return last;
}

void PgConnection::Receive(const std::function<void(const PgResult&)>& take) {
    auto deadline = Clock::now() + answerTimeout_;
    Flush(deadline);
    bool failed = false;
    std::string error;
    std::string state;
    while (PGresult* next = NextResult(deadline)) {
        const PgResult result(next);
        const ExecStatusType status = PQresultStatus(next);
        if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK &&
            status != PGRES_SINGLE_TUPLE) {
            if (!failed) {
                failed = true;
                error = Trimmed(PQresultErrorMessage(next));
                const char* sqlState = PQresultErrorField(next, PG_DIAG_SQLSTATE);
                state = sqlState == nullptr ? "" : sqlState;
            }
        } else if (!failed) {
            try {
                take(result);
            } catch (...) {
                // The rest of the answer is still on its way.
                broken_ = true;
                throw;
            }
            if (status == PGRES_SINGLE_TUPLE) {
                deadline = Clock::now() + answerTimeout_;
            }
        }
    }
    Judge(failed, error, state);
}

void PgConnection::Judge(bool failed, const std::string& error, const std::string& state) {
    if (PQstatus(conn_.get()) == CONNECTION_BAD || (failed && ServerGone(state.c_str()))) {
        Lost(error.empty() ? Trimmed(PQerrorMessage(conn_.get())) : error);
    }
    if (failed) {
        throw StoreError(StoreError::Kind::Other, error);
    }
}

void PgConnection::Rollback() {
    // A lost connection has ended its transaction already.
    if (broken_) {
        return;
    }
    try {
        Exec("ROLLBACK");
    } catch (const StoreError&) {
        // What threw first is what the caller hears of.
    }
}

}  // namespace records
