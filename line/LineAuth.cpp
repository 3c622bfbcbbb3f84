#include "line/LineAuth.h"

#include <sodium.h>

#include <stdexcept>

#include "common/Sha256.h"
#include "records/RecordSchema.h"

namespace line {

namespace {

namespace schema = records::schema;

std::string Utc(const std::string& column) {
    return "to_char(" + column + " AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS.MS\"Z\"')";
}

void NeedSodium() {
    if (sodium_init() < 0) {
        throw std::runtime_error("libsodium could not start");
    }
}

constexpr const char* kTokenPrefix = "tvl_";

}  // namespace

std::optional<Role> ParseRole(const std::string& name) {
    if (name == "admin") {
        return Role::Admin;
    }
    if (name == "viewer") {
        return Role::Viewer;
    }
    return std::nullopt;
}

const char* RoleName(Role role) {
    return role == Role::Admin ? "admin" : "viewer";
}

std::string RandomHex(std::size_t bytes) {
    NeedSodium();
    std::string raw(bytes, '\0');
    randombytes_buf(raw.data(), raw.size());
    std::string hex(bytes * 2 + 1, '\0');
    sodium_bin2hex(hex.data(), hex.size(), reinterpret_cast<const unsigned char*>(raw.data()),
                   raw.size());
    hex.pop_back();
    return hex;
}

void MakeAuthTables(records::PgConnection& db) {
    db.ExecScript(R"sql(
CREATE TABLE IF NOT EXISTS line_users (
    name text PRIMARY KEY,
    role text NOT NULL CHECK (role IN ('admin', 'viewer')),
    password_hash text NOT NULL,
    created_at timestamptz NOT NULL DEFAULT now()
);
CREATE TABLE IF NOT EXISTS line_tokens (
    id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
    name text NOT NULL,
    token_sha256 text NOT NULL UNIQUE,
    created_at timestamptz NOT NULL DEFAULT now(),
    created_by text NOT NULL,
    revoked_at timestamptz
);)sql");
}

bool AddUser(records::PgConnection& db, const std::string& name, Role role,
             const std::string& password) {
    NeedSodium();
    char hash[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(hash, password.data(), password.size(),
                          crypto_pwhash_OPSLIMIT_INTERACTIVE,
                          crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0) {
        throw std::runtime_error("out of memory hashing the password");
    }
    const records::PgResult made = db.Exec(
        "INSERT INTO line_users (name, role, password_hash) VALUES ($1, $2, $3) "
        "ON CONFLICT (name) DO NOTHING RETURNING name",
        {schema::Required(name), schema::Required(RoleName(role)), schema::Required(hash)});
    return made.Rows() == 1;
}

std::optional<Login> CheckPassword(records::PgConnection& db, const std::string& name,
                                   const std::string& password) {
    NeedSodium();
    const records::PgResult found = db.Exec(
        "SELECT role, password_hash FROM line_users WHERE name = $1", {schema::Required(name)});
    if (found.Rows() != 1) {
        // As long as a wrong password takes: the answer's time tells nobody
        // which names exist.
        char hash[crypto_pwhash_STRBYTES];
        [[maybe_unused]] const int spent = crypto_pwhash_str(hash, password.data(), password.size(),
                                                             crypto_pwhash_OPSLIMIT_INTERACTIVE,
                                                             crypto_pwhash_MEMLIMIT_INTERACTIVE);
        return std::nullopt;
    }
    const std::string hash = found.Text(0, 1);
    if (crypto_pwhash_str_verify(hash.c_str(), password.data(), password.size()) != 0) {
        return std::nullopt;
    }
    return Login{name, ParseRole(found.Text(0, 0)).value_or(Role::Viewer)};
}

NewToken AddToken(records::PgConnection& db, const std::string& name, const std::string& by) {
    NewToken made;
    made.token = kTokenPrefix + RandomHex(32);
    const records::PgResult row = db.Exec(
        "INSERT INTO line_tokens (name, token_sha256, created_by) VALUES ($1, $2, $3) RETURNING id",
        {schema::Required(name), schema::Required(common::Sha256::HexDigest(made.token)),
         schema::Required(by)});
    made.id = std::stoll(row.Text(0, 0));
    return made;
}

bool CheckToken(records::PgConnection& db, const std::string& token) {
    if (token.rfind(kTokenPrefix, 0) != 0) {
        return false;
    }
    const records::PgResult found =
        db.Exec("SELECT 1 FROM line_tokens WHERE token_sha256 = $1 AND revoked_at IS NULL",
                {schema::Required(common::Sha256::HexDigest(token))});
    return found.Rows() == 1;
}

bool RevokeToken(records::PgConnection& db, long long id) {
    const records::PgResult row = db.Exec(
        "UPDATE line_tokens SET revoked_at = coalesce(revoked_at, now()) WHERE id = $1 "
        "RETURNING id",
        {schema::Integer(id)});
    return row.Rows() == 1;
}

nlohmann::json ListTokens(records::PgConnection& db) {
    const records::PgResult rows =
        db.Exec("SELECT id, name, " + Utc("created_at") + ", created_by, " + Utc("revoked_at") +
                " FROM line_tokens ORDER BY id");
    nlohmann::json list = nlohmann::json::array();
    for (int row = 0; row < rows.Rows(); ++row) {
        list.push_back({{"id", std::stoll(rows.Text(row, 0))},
                        {"name", rows.Text(row, 1)},
                        {"created_at", rows.Text(row, 2)},
                        {"created_by", rows.Text(row, 3)},
                        {"revoked_at", rows.IsNull(row, 4) ? nlohmann::json(nullptr)
                                                           : nlohmann::json(rows.Text(row, 4))}});
    }
    return {{"tokens", list}};
}

std::string Sessions::Open(const Login& login) {
    std::string key = RandomHex(32);
    std::lock_guard lock(mutex_);
    const Clock::time_point now = Clock::now();
    for (auto it = open_.begin(); it != open_.end();) {
        it = now - it->second.last > kIdle ? open_.erase(it) : std::next(it);
    }
    open_[key] = Entry{login, now};
    return key;
}

std::optional<Login> Sessions::Find(const std::string& key) {
    std::lock_guard lock(mutex_);
    const auto it = open_.find(key);
    if (it == open_.end()) {
        return std::nullopt;
    }
    const Clock::time_point now = Clock::now();
    if (now - it->second.last > kIdle) {
        open_.erase(it);
        return std::nullopt;
    }
    it->second.last = now;
    return it->second.login;
}

void Sessions::End(const std::string& key) {
    std::lock_guard lock(mutex_);
    open_.erase(key);
}

int Sessions::PausedFor(const std::string& user) {
    std::lock_guard lock(mutex_);
    const auto it = misses_.find(user);
    if (it == misses_.end()) {
        return 0;
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::seconds>(it->second.pausedUntil - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) + 1 : 0;
}

void Sessions::Failed(const std::string& user) {
    std::lock_guard lock(mutex_);
    const Clock::time_point now = Clock::now();
    // Names made up by the thousand must not grow the table for ever: what
    // no longer counts is forgotten.
    if (misses_.size() >= 10000) {
        for (auto it = misses_.begin(); it != misses_.end();) {
            const bool over =
                now - it->second.first > std::chrono::minutes(1) && now >= it->second.pausedUntil;
            it = over ? misses_.erase(it) : std::next(it);
        }
    }
    Misses& misses = misses_[user];
    if (misses.count == 0 || now - misses.first > std::chrono::minutes(1)) {
        misses.count = 0;
        misses.first = now;
    }
    if (++misses.count >= 5) {
        misses.pausedUntil = now + std::chrono::minutes(1);
        misses.count = 0;
    }
}

void Sessions::Succeeded(const std::string& user) {
    std::lock_guard lock(mutex_);
    misses_.erase(user);
}

}  // namespace line
