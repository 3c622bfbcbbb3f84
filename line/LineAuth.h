// Who may see the line: logins (a name, a role, a password) for the page,
// and read-only tokens for programs such as an MES. Both are kept hashed on
// the line's server, in tables of tirvel-line's own beside the records; a
// login's session lives in this process only.
#pragma once

#include <chrono>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "records/PgConnection.h"

namespace line {

enum class Role { Viewer, Admin };
std::optional<Role> ParseRole(const std::string& name);
const char* RoleName(Role role);

struct Login {
    std::string user;
    Role role = Role::Viewer;
};

// Makes tirvel-line's own tables when they are not there (needs the right
// to create tables; the serving role does not).
void MakeAuthTables(records::PgConnection& db);

// A new user; false when the name is taken. The password is hashed here
// (Argon2id) and never kept.
bool AddUser(records::PgConnection& db, const std::string& name, Role role,
             const std::string& password);
// The login when the password is the user's, else nothing.
std::optional<Login> CheckPassword(records::PgConnection& db, const std::string& name,
                                   const std::string& password);

struct NewToken {
    long long id = 0;
    std::string token;  // shown once: only its digest is kept
};
NewToken AddToken(records::PgConnection& db, const std::string& name, const std::string& by);
// True when the token is known and not revoked.
bool CheckToken(records::PgConnection& db, const std::string& token);
// False when there is no such token.
bool RevokeToken(records::PgConnection& db, long long id);
// {"tokens": [{"id", "name", "created_at", "created_by", "revoked_at"}]}
nlohmann::json ListTokens(records::PgConnection& db);

// The page's sessions: a random key in a cookie, kept here only; idle ones
// end after a while, and a restart ends them all.
class Sessions {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::hours kIdle{12};

    std::string Open(const Login& login);
    std::optional<Login> Find(const std::string& key);
    void End(const std::string& key);

    // Wrong passwords for one name: after five in a minute, that name is
    // refused for a minute, whatever the password. Returns the seconds left
    // of a pause, 0 for none.
    int PausedFor(const std::string& user);
    void Failed(const std::string& user);
    void Succeeded(const std::string& user);

private:
    struct Entry {
        Login login;
        Clock::time_point last;
    };
    struct Misses {
        int count = 0;
        Clock::time_point first;
        Clock::time_point pausedUntil;
    };
    std::mutex mutex_;
    std::map<std::string, Entry> open_;
    std::map<std::string, Misses> misses_;
};

// Random bytes as hex, from the system's source.
std::string RandomHex(std::size_t bytes);

}  // namespace line
