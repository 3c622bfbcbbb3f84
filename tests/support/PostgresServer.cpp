#include "PostgresServer.h"

#include <fcntl.h>
#include <grp.h>
#include <libpq-fe.h>
#include <pwd.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <vector>

#include "ArgumentVector.h"

namespace testsupport {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// Debian keeps each major version's programs in /usr/lib/postgresql/<N>/bin:
// the newest there is taken.
fs::path ServerBin() {
    fs::path best;
    int bestVersion = -1;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/usr/lib/postgresql", ec)) {
        const fs::path bin = entry.path() / "bin";
        int version = 0;
        try {
            version = std::stoi(entry.path().filename().string());
        } catch (const std::exception&) {
            continue;
        }
        if (version > bestVersion && fs::exists(bin / "initdb") && fs::exists(bin / "postgres")) {
            best = bin;
            bestVersion = version;
        }
    }
    return best;
}

// Who the server runs as when the test is root: nobody, there on every
// Debian system and owning nothing else, so nothing set up beforehand.
struct ServerUser {
    bool switchUser = false;
    uid_t uid = 0;
    gid_t gid = 0;
};

ServerUser WhoRunsTheServer() {
    ServerUser user;
    if (::geteuid() != 0) {
        return user;
    }
    const passwd* nobody = ::getpwnam("nobody");
    if (nobody == nullptr) {
        throw std::runtime_error(
            "running as root, and there is no user 'nobody' to run the server");
    }
    user.switchUser = true;
    user.uid = nobody->pw_uid;
    user.gid = nobody->pw_gid;
    return user;
}

struct ProcStat {
    char state = 0;
    pid_t parent = 0;
};

// Read after the command's closing parenthesis, for the command may itself
// hold spaces and parentheses: the state letter, then the parent. nullopt for
// a process that is gone.
std::optional<ProcStat> ReadStat(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    const std::string line((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::size_t end = line.rfind(')');
    if (end == std::string::npos) {
        return std::nullopt;
    }
    std::istringstream rest(line.substr(end + 1));
    ProcStat stat;
    if (!(rest >> stat.state >> stat.parent)) {
        return std::nullopt;
    }
    return stat;
}

// PostgreSQL gives each backend a session of its own (setsid), out of reach
// of a signal to the postmaster's group: its children are found by parent.
std::vector<pid_t> ChildrenOf(pid_t parent) {
    std::vector<pid_t> children;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/proc", ec)) {
        const std::string name = entry.path().filename().string();
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        const pid_t pid = static_cast<pid_t>(std::stol(name));
        const auto stat = ReadStat(pid);
        if (stat && stat->parent == parent) {
            children.push_back(pid);
        }
    }
    return children;
}

// Until the process has died: gone, or a zombie, which holds nothing of the
// server's any more. kill() only sends the signal.
void WaitDead(pid_t pid) {
    for (;;) {
        const auto stat = ReadStat(pid);
        if (!stat || stat->state == 'Z' || stat->state == 'X') {
            return;
        }
        std::this_thread::yield();
    }
}

int WaitExit(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace

std::string PostgresServer::Unavailable() {
    if (ServerBin().empty()) {
        return "no PostgreSQL server programs in /usr/lib/postgresql/*/bin (package postgresql)";
    }
    return std::string();
}

PostgresServer::PostgresServer() : folder_(scratch_.Path() / "pg"), bin_(ServerBin()) {
    if (bin_.empty()) {
        throw std::runtime_error(Unavailable());
    }
    fs::create_directory(folder_);
    const ServerUser user = WhoRunsTheServer();
    if (user.switchUser) {
        // The server's user only passes through the scratch folder; its own
        // folder it owns.
        fs::permissions(scratch_.Path(),
                        fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
        if (::chown(folder_.c_str(), user.uid, user.gid) != 0) {
            throw std::runtime_error("cannot give " + folder_.string() + " to nobody");
        }
    }
    const pid_t initdb =
        Launch((bin_ / "initdb").string(),
               {"-D", (folder_ / "data").string(), "-U", "tirvel", "--auth=trust",
                "--encoding=UTF8", "--no-locale", "--no-sync", "--no-instructions"});
    if (WaitExit(initdb) != 0) {
        throw std::runtime_error("initdb failed:\n" + Log());
    }
    Start();
}

PostgresServer::~PostgresServer() {
    if (postmaster_ > 0) {
        Kill();
    }
}

pid_t PostgresServer::Launch(const std::string& program,
                             const std::vector<std::string>& args) const {
    const ServerUser user = WhoRunsTheServer();
    const std::string log = (folder_ / "log").string();
    ArgumentVector argv(program, args);
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) {
        // Only what is safe between fork and exec in a process with threads.
        ::setpgid(0, 0);
        const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        const int in = ::open("/dev/null", O_RDONLY);
        if (out < 0 || in < 0 || ::dup2(in, STDIN_FILENO) < 0 || ::dup2(out, STDOUT_FILENO) < 0 ||
            ::dup2(out, STDERR_FILENO) < 0) {
            ::_exit(126);
        }
        if (user.switchUser &&
            (::setgroups(0, nullptr) != 0 || ::setgid(user.gid) != 0 || ::setuid(user.uid) != 0)) {
            ::_exit(126);
        }
        // After the change of user, which clears it: a test that dies leaves
        // no server behind.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent) {
            ::_exit(127);
        }
        ::execv(program.c_str(), argv.Data());
        ::_exit(127);
    }
    if (pid < 0) {
        throw std::runtime_error("cannot start " + program);
    }
    return pid;
}

// fsync off is safe for what the tests do to the server, a killed process and
// not a lost machine: the system keeps what was written. Commits still wait
// for their WAL to be written, so a commit a client saw survives a Kill.
bool PostgresServer::StartOnce() {
    postmaster_ = Launch(
        (bin_ / "postgres").string(),
        {"-D", (folder_ / "data").string(), "-k", folder_.string(), "-c", "listen_addresses=", "-c",
         "fsync=off", "-c", "full_page_writes=off", "-c", "shared_buffers=16MB"});
    const std::string conninfo = Uri();
    const auto deadline = Clock::now() + std::chrono::seconds(60);
    while (Clock::now() < deadline) {
        if (::PQping(conninfo.c_str()) == PQPING_OK) {
            return true;
        }
        if (::waitpid(postmaster_, nullptr, WNOHANG) == postmaster_) {
            postmaster_ = -1;
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    Kill();
    return false;
}

void PostgresServer::Start() {
    // A postmaster that gives up at once (the system has not let go of its
    // socket or its shared memory yet) is tried again.
    for (int attempt = 0; attempt < 50; ++attempt) {
        if (StartOnce()) {
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    throw std::runtime_error("the PostgreSQL server did not start:\n" + Log());
}

void PostgresServer::Stop() {
    if (postmaster_ > 0) {
        ::kill(postmaster_, SIGINT);  // fast shutdown: clients are let go
        WaitExit(postmaster_);
        postmaster_ = -1;
    }
}

void PostgresServer::Kill() {
    if (postmaster_ > 0) {
        const std::vector<pid_t> backends = SignalAll(SIGKILL);
        WaitExit(postmaster_);
        for (const pid_t backend : backends) {
            WaitDead(backend);
        }
        postmaster_ = -1;
    }
}

void PostgresServer::Restart() {
    Stop();
    Start();
}

void PostgresServer::Pause() {
    SignalAll(SIGSTOP);
}

void PostgresServer::Resume() {
    SignalAll(SIGCONT);
}

std::vector<pid_t> PostgresServer::SignalAll(int signal) {
    // Never -(-1): that would be every process the test may signal.
    if (postmaster_ <= 0) {
        return {};
    }
    // Held still while its children are listed, so it starts none the list
    // misses; let go again unless it is to stop.
    ::kill(postmaster_, SIGSTOP);
    const std::vector<pid_t> children = ChildrenOf(postmaster_);
    for (const pid_t child : children) {
        ::kill(child, signal);
    }
    ::kill(-postmaster_, signal);
    if (signal != SIGSTOP) {
        ::kill(postmaster_, SIGCONT);
    }
    return children;
}

std::string PostgresServer::Uri(const std::string& database) const {
    return "postgresql://tirvel@/" + database + "?host=" + folder_.string();
}

std::string PostgresServer::NewDatabase() {
    const std::string name = "test" + std::to_string(++databases_);
    // The name is ours, made above: no value from outside goes into this SQL.
    Scalar(Uri(), "CREATE DATABASE " + name);
    return Uri(name);
}

std::string PostgresServer::Scalar(const std::string& uri, const std::string& sql) {
    PGconn* conn = ::PQconnectdb(uri.c_str());
    PGresult* result = ::PQexec(conn, sql.c_str());
    const ExecStatusType status = ::PQresultStatus(result);
    const bool answered = status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
    const std::string value =
        status == PGRES_TUPLES_OK && ::PQntuples(result) > 0 ? ::PQgetvalue(result, 0, 0) : "";
    const std::string error = ::PQerrorMessage(conn);
    ::PQclear(result);
    ::PQfinish(conn);
    if (!answered) {
        throw std::runtime_error(sql + ": " + error);
    }
    return value;
}

std::string PostgresServer::Log() const {
    std::ifstream in(folder_ / "log");
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace testsupport
