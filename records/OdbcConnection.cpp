#include "records/OdbcConnection.h"

// The ODBC headers need windows.h before them: a block of its own.
#include <windows.h>

#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <cstdint>
#include <cwctype>
#include <memory>

#include "common/NonCopyable.h"
#include "common/Utf16Win32.h"
#include "records/OdbcConnectionString.h"
#include "records/RecordStore.h"
#include "records/RecordsSetting.h"

namespace records {

namespace {

// The driver manager's own failures (IM…), and unixODBC's "Can't open lib"
// (01000): the driver named is not installed, and the next name may be.
constexpr const char* kStopped = "the wait for the server was ended";

bool NoSuchDriver(const std::string& state) {
    return state.starts_with("IM") || state == "01000";
}

struct Diagnosis {
    std::string state;  // SQLSTATE, "08001"
    std::string text;
};

Diagnosis Diagnose(SQLSMALLINT type, SQLHANDLE handle) {
    Diagnosis diagnosis;
    for (SQLSMALLINT record = 1;; ++record) {
        SQLWCHAR state[6] = {};
        SQLINTEGER native = 0;
        SQLWCHAR text[1024] = {};
        SQLSMALLINT length = 0;
        const SQLRETURN rc = ::SQLGetDiagRecW(type, handle, record, state, &native, text,
                                              static_cast<SQLSMALLINT>(std::size(text)), &length);
        if (!SQL_SUCCEEDED(rc)) {
            break;
        }
        if (record == 1) {
            diagnosis.state = ToUtf8(std::wstring(state, state + 5));
        }
        std::wstring line(text, text + std::clamp<SQLSMALLINT>(length, 0, 1023));
        // libpq's messages end in a line break, which would split ours.
        while (!line.empty() && std::iswspace(line.back())) {
            line.pop_back();
        }
        diagnosis.text += (diagnosis.text.empty() ? "" : "; ") + ToUtf8(line);
    }
    if (diagnosis.text.empty()) {
        diagnosis.text = "the ODBC driver gave no reason";
    }
    return diagnosis;
}

// Lost connections, timeouts and cancelled waits: the server is not there for
// now, and the next try connects anew.
bool ServerGone(const std::string& state) {
    return state.starts_with("08") || state.starts_with("HYT") || state == "HY008" ||
           state == "57P01";
}

// The error a failed call on the handle diagnosed comes to.
StoreError Failure(const Diagnosis& why) {
    return StoreError(ServerGone(why.state) ? StoreError::Kind::Open : StoreError::Kind::Other,
                      why.text);
}

SQLRETURN SetAutocommit(SQLHDBC dbc, bool on) {
    return ::SQLSetConnectAttrW(
        dbc, SQL_ATTR_AUTOCOMMIT,
        reinterpret_cast<SQLPOINTER>(on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF), SQL_IS_UINTEGER);
}

SQLULEN Seconds(std::chrono::milliseconds time) {
    return static_cast<SQLULEN>(
        std::max<std::int64_t>(1, std::chrono::ceil<std::chrono::seconds>(time).count()));
}

struct FreeStatement {
    void operator()(SQLHSTMT handle) const { ::SQLFreeHandle(SQL_HANDLE_STMT, handle); }
};

// A statement's values, bound, kept where the driver reads them until the
// statement has run.
class BoundParams : NonCopyable {
public:
    BoundParams(SQLHSTMT handle, const schema::Values& params) : lengths_(params.size()) {
        values_.reserve(params.size());
        for (std::size_t i = 0; i < params.size(); ++i) {
            const OdbcValue value = OdbcText(params[i]);
            values_.push_back(value ? ToWide(*value) : std::wstring());
            std::wstring& wide = values_.back();
            lengths_[i] =
                value ? static_cast<SQLLEN>(wide.size() * sizeof(SQLWCHAR)) : SQL_NULL_DATA;
            const SQLRETURN rc = ::SQLBindParameter(
                handle, static_cast<SQLUSMALLINT>(i + 1), SQL_PARAM_INPUT, SQL_C_WCHAR,
                SQL_WVARCHAR, std::max<SQLULEN>(wide.size(), 1), 0, wide.data(),
                static_cast<SQLLEN>(wide.size() * sizeof(SQLWCHAR)), &lengths_[i]);
            if (!SQL_SUCCEEDED(rc)) {
                throw StoreError(StoreError::Kind::Other, Diagnose(SQL_HANDLE_STMT, handle).text);
            }
        }
    }

private:
    std::vector<std::wstring> values_;
    std::vector<SQLLEN> lengths_;
};

// What fails a statement: it throws, with the statement's diagnosis.
using Fail = std::function<void()>;

// One column of the row fetched. Long values come in parts, each but the last
// filling the buffer.
OdbcValue ReadColumn(SQLHSTMT handle, SQLUSMALLINT column, const Fail& fail) {
    std::wstring value;
    for (;;) {
        SQLWCHAR buffer[2048];
        SQLLEN length = 0;
        const SQLRETURN got =
            ::SQLGetData(handle, column, SQL_C_WCHAR, buffer, sizeof(buffer), &length);
        if (got == SQL_NO_DATA) {
            break;
        }
        if (!SQL_SUCCEEDED(got)) {
            fail();
        }
        if (length == SQL_NULL_DATA) {
            return OdbcValue();
        }
        const std::size_t room = std::size(buffer) - 1;  // less the terminating NUL
        const std::size_t part =
            length == SQL_NO_TOTAL || static_cast<std::size_t>(length) >= room * sizeof(SQLWCHAR)
                ? room
                : static_cast<std::size_t>(length) / sizeof(SQLWCHAR);
        value.append(reinterpret_cast<const wchar_t*>(buffer), part);
        if (got == SQL_SUCCESS) {
            break;
        }
    }
    return OdbcValue(ToUtf8(value));
}

// Runs the statement's text and hands each row it gives to take. Row by row:
// the driver's own buffering aside, only the row fetched is held here.
void ExecuteAndFetch(SQLHSTMT handle, const std::string& sql,
                     const std::function<void(std::vector<OdbcValue>&&)>& take, const Fail& fail) {
    std::wstring text = ToWide(sql);
    const SQLRETURN executed =
        ::SQLExecDirectW(handle, reinterpret_cast<SQLWCHAR*>(text.data()), SQL_NTS);
    if (!SQL_SUCCEEDED(executed) && executed != SQL_NO_DATA) {
        fail();
    }
    SQLSMALLINT columns = 0;
    if (executed == SQL_NO_DATA || !SQL_SUCCEEDED(::SQLNumResultCols(handle, &columns)) ||
        columns == 0) {
        return;
    }
    for (;;) {
        const SQLRETURN fetched = ::SQLFetch(handle);
        if (fetched == SQL_NO_DATA) {
            return;
        }
        if (!SQL_SUCCEEDED(fetched)) {
            fail();
        }
        std::vector<OdbcValue> row;
        for (SQLUSMALLINT column = 1; column <= columns; ++column) {
            row.push_back(ReadColumn(handle, column, fail));
        }
        take(std::move(row));
    }
}

}  // namespace

OdbcConnection::OdbcConnection(const std::vector<std::string>& connectionStrings,
                               std::chrono::milliseconds connectTimeout,
                               std::chrono::milliseconds answerTimeout, StopSignal* stop)
    : answerTimeout_(answerTimeout), stop_(stop) {
    if (!SQL_SUCCEEDED(::SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_)) ||
        !SQL_SUCCEEDED(::SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION,
                                       reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0))) {
        if (env_ != nullptr) {
            ::SQLFreeHandle(SQL_HANDLE_ENV, env_);
        }
        throw StoreError(StoreError::Kind::Open, "ODBC cannot be used on this computer");
    }
    std::string reasons;
    for (const std::string& text : connectionStrings) {
        if (Stopped()) {
            break;
        }
        if (!SQL_SUCCEEDED(::SQLAllocHandle(SQL_HANDLE_DBC, env_, &dbc_))) {
            break;
        }
        ::SQLSetConnectAttrW(dbc_, SQL_ATTR_LOGIN_TIMEOUT,
                             reinterpret_cast<SQLPOINTER>(Seconds(connectTimeout)), 0);
        std::wstring wide = ToWide(text);
        const SQLRETURN rc =
            ::SQLDriverConnectW(dbc_, nullptr, reinterpret_cast<SQLWCHAR*>(wide.data()), SQL_NTS,
                                nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT);
        if (SQL_SUCCEEDED(rc)) {
            connected_ = true;
            return;
        }
        const Diagnosis why = Diagnose(SQL_HANDLE_DBC, dbc_);
        ::SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
        dbc_ = nullptr;
        if (!NoSuchDriver(why.state)) {
            reasons = why.text;
            break;
        }
        reasons = "no PostgreSQL ODBC driver (psqlODBC) is installed on this computer";
    }
    ::SQLFreeHandle(SQL_HANDLE_ENV, env_);
    throw StoreError(StoreError::Kind::Open, reasons.empty() ? std::string(kStopped) : reasons);
}

const std::vector<std::string>& OdbcConnection::DriverNames() {
    static const std::vector<std::string> names = {"PostgreSQL Unicode(x64)", "PostgreSQL Unicode"};
    return names;
}

std::function<std::unique_ptr<OdbcConnection>()> OdbcConnection::Connector(
    const std::string& uri, std::chrono::milliseconds connectTimeout,
    std::chrono::milliseconds answerTimeout, StopSignal* stop) {
    const int seconds = static_cast<int>(Seconds(connectTimeout));
    std::vector<std::string> attempts;
    for (const std::string& driver : DriverNames()) {
        const auto text = OdbcConnectionString(uri, driver, seconds);
        if (!text) {
            throw StoreError(StoreError::Kind::Open,
                             "not a PostgreSQL URI: " + WithoutPassword(uri));
        }
        attempts.push_back(*text);
    }
    return [attempts, connectTimeout, answerTimeout, stop] {
        return std::make_unique<OdbcConnection>(attempts, connectTimeout, answerTimeout, stop);
    };
}

OdbcConnection::~OdbcConnection() {
    if (connected_) {
        ::SQLDisconnect(dbc_);
    }
    ::SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
    ::SQLFreeHandle(SQL_HANDLE_ENV, env_);
}

OdbcRows OdbcConnection::Exec(const std::string& sql, const schema::Values& params) {
    OdbcRows rows;
    Run(sql, params, [&rows](std::vector<OdbcValue>&& row) { rows.AddRow(std::move(row)); });
    return rows;
}

void OdbcConnection::ExecEach(const std::string& sql, const schema::Values& params,
                              const std::function<void(const OdbcRows&, int row)>& visit) {
    Run(sql, params, [&visit](std::vector<OdbcValue>&& row) {
        OdbcRows one;
        one.AddRow(std::move(row));
        visit(one, 0);
    });
}

void OdbcConnection::Run(const std::string& sql, const schema::Values& params,
                         const std::function<void(std::vector<OdbcValue>&&)>& take) {
    if (Stopped()) {
        throw StoreError(StoreError::Kind::Open, kStopped);
    }
    SQLHSTMT handle = SQL_NULL_HSTMT;
    if (!SQL_SUCCEEDED(::SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &handle))) {
        throw Failure(Diagnose(SQL_HANDLE_DBC, dbc_));
    }
    // Freed however Run ends.
    const std::unique_ptr<void, FreeStatement> statement(handle);
    ::SQLSetStmtAttrW(handle, SQL_ATTR_QUERY_TIMEOUT,
                      reinterpret_cast<SQLPOINTER>(Seconds(answerTimeout_)), 0);
    const BoundParams bound(handle, params);
    {
        std::lock_guard lock(runningMutex_);
        running_ = handle;
    }
    // Until Run ends, a stop cancels the statement.
    struct Running {
        OdbcConnection& self;
        ~Running() {
            if (self.stop_ != nullptr) {
                self.stop_->OnRaise({});
            }
            std::lock_guard lock(self.runningMutex_);
            self.running_ = nullptr;
        }
    } running{*this};
    if (stop_ != nullptr) {
        stop_->OnRaise([this] { Cancel(); });
    }
    // A stop raised before the hook was set found no statement to cancel.
    if (Stopped()) {
        throw StoreError(StoreError::Kind::Open, kStopped);
    }
    ExecuteAndFetch(handle, sql, take, [&] {
        if (Stopped()) {
            throw StoreError(StoreError::Kind::Open, kStopped);
        }
        throw Failure(Diagnose(SQL_HANDLE_STMT, handle));
    });
}

void OdbcConnection::Cancel() {
    std::lock_guard lock(runningMutex_);
    if (running_ != nullptr) {
        ::SQLCancel(running_);
    }
}

void OdbcConnection::Begin() {
    if (!SQL_SUCCEEDED(SetAutocommit(dbc_, false))) {
        throw Failure(Diagnose(SQL_HANDLE_DBC, dbc_));
    }
}

void OdbcConnection::Commit() {
    if (!SQL_SUCCEEDED(::SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_COMMIT))) {
        const StoreError error = Failure(Diagnose(SQL_HANDLE_DBC, dbc_));
        Rollback();
        throw error;
    }
    SetAutocommit(dbc_, true);
}

void OdbcConnection::Rollback() {
    ::SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_ROLLBACK);
    SetAutocommit(dbc_, true);
}

}  // namespace records
