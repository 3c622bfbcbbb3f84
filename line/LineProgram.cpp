#include "line/LineProgram.h"

#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <fstream>
#include <iostream>
#include <sstream>

#include "framework/Language.h"
#include "framework/StringTable.h"
#include "line/EventHub.h"
#include "line/HttpServer.h"
#include "line/LineApi.h"
#include "line/LineAuth.h"
#include "line/LineDatabase.h"
#include "line/StateListener.h"
#include "records/RecordStore.h"
#include "res/LineIds.h"

namespace line {

namespace {

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr std::size_t kShortestPassword = 8;

std::string Say(fw::UINT id, const std::vector<std::string>& args = {}) {
    return fw::FormatMessageText(fw::LoadString(id), args);
}

// One line from in; from a terminal without echo.
std::optional<std::string> ReadPassword(std::istream& in, std::ostream& err,
                                        const std::string& prompt) {
    const bool terminal = &in == &std::cin && isatty(STDIN_FILENO) != 0;
    termios saved{};
    if (terminal) {
        err << prompt << std::flush;
        tcgetattr(STDIN_FILENO, &saved);
        termios quiet = saved;
        quiet.c_lflag &= static_cast<tcflag_t>(~ECHO);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    std::string line;
    const bool got = static_cast<bool>(std::getline(in, line));
    if (terminal) {
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
        err << "\n";
    }
    if (!got) {
        return std::nullopt;
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return line;
}

struct ListenAddress {
    std::string host;
    std::uint16_t port = 0;
};

std::optional<ListenAddress> ParseListen(const std::string& text) {
    std::string host;
    std::string port;
    if (!text.empty() && text.front() == '[') {
        const std::size_t close = text.find("]:");
        if (close == std::string::npos) {
            return std::nullopt;
        }
        host = text.substr(1, close - 1);
        port = text.substr(close + 2);
    } else {
        const std::size_t colon = text.rfind(':');
        if (colon == std::string::npos || text.find(':') != colon) {
            return std::nullopt;
        }
        host = text.substr(0, colon);
        port = text.substr(colon + 1);
    }
    if (host.empty() || port.empty() || port.size() > 5 ||
        port.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    const int number = std::stoi(port);
    if (number > 65535) {
        return std::nullopt;
    }
    return ListenAddress{host, static_cast<std::uint16_t>(number)};
}

bool Loopback(const std::string& host) {
    return host == "localhost" || host == "::1" || host.rfind("127.", 0) == 0;
}

std::optional<std::string> ReadFile(const std::string& path, std::ostream& err) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream bytes;
    if (!file || !(bytes << file.rdbuf())) {
        err << Say(res::IDS_LINE_TLS_FILE, {path, std::strerror(errno)}) << "\n";
        return std::nullopt;
    }
    return bytes.str();
}

// The records URI without its password, for what is printed.
std::string Shown(const std::string& uri) {
    const std::size_t scheme = uri.find("://");
    const std::size_t at = uri.find('@');
    if (scheme == std::string::npos || at == std::string::npos) {
        return uri;
    }
    const std::size_t colon = uri.find(':', scheme + 3);
    return colon != std::string::npos && colon < at ? uri.substr(0, colon) + ":***" + uri.substr(at)
                                                    : uri;
}

int Serve(const std::string& uri, const ListenAddress& listen, const std::string& certFile,
          const std::string& keyFile, std::ostream& out, std::ostream& err) {
    HttpSettings settings;
    settings.host = listen.host;
    settings.port = listen.port;
    if (!certFile.empty()) {
        const auto cert = ReadFile(certFile, err);
        const auto key = ReadFile(keyFile, err);
        if (!cert || !key) {
            return kExitFailed;
        }
        settings.certificatePem = *cert;
        settings.keyPem = *key;
    } else if (!Loopback(listen.host)) {
        err << Say(res::IDS_LINE_PLAIN_ON_NETWORK, {listen.host}) << "\n";
    }
    // The signals are waited for below, not handled: block them before any thread starts.
    sigset_t stops;
    sigemptyset(&stops);
    sigaddset(&stops, SIGINT);
    sigaddset(&stops, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stops, nullptr);

    LineDatabase db(uri);
    try {
        db.With([](records::PgConnection& c) { return c.Exec("SELECT 1").Rows(); });
    } catch (const std::exception& e) {
        // Served all the same: the server may be starting too; the API says 503 meanwhile.
        err << Say(res::IDS_LINE_CANNOT_REACH, {Shown(uri), e.what()}) << "\n";
    }
    EventHub hub;
    Sessions sessions;
    LineApi api(db, hub, sessions);
    std::unique_ptr<HttpServer> server;
    try {
        server = std::make_unique<HttpServer>(
            settings, [&api](const HttpRequest& request) { return api.Answer(request); });
    } catch (const HttpError& e) {
        err << Say(res::IDS_LINE_CANNOT_SERVE, {e.what()}) << "\n";
        return kExitFailed;
    }
    StateListener listener(uri, hub);
    const std::string shownHost =
        listen.host.find(':') != std::string::npos ? "[" + listen.host + "]" : listen.host;
    out << Say(res::IDS_LINE_SERVING,
               {Shown(uri), std::string(settings.certificatePem.empty() ? "http" : "https") +
                                "://" + shownHost + ":" + std::to_string(server->Port())})
        << std::endl;
    int signal = 0;
    sigwait(&stops, &signal);
    // The streams end first: the server stops only with none parked.
    hub.Close();
    server.reset();
    return 0;
}

template <class Work>
int OnServer(const std::string& uri, std::ostream& err, Work&& work) {
    try {
        records::PgConnection db(uri, std::chrono::seconds(10), std::chrono::seconds(30), -1);
        MakeAuthTables(db);
        return work(db);
    } catch (const std::exception& e) {
        err << Say(res::IDS_LINE_CANNOT_REACH, {Shown(uri), e.what()}) << "\n";
        return kExitFailed;
    }
}

}  // namespace

int RunLineProgram(const std::vector<std::string>& arguments, std::istream& in, std::ostream& out,
                   std::ostream& err) {
    CLI::App app(Say(res::IDS_LINE_HELP), "tirvel-line");
    std::string uri;
    std::string listenText = "127.0.0.1:8080";
    std::string certFile;
    std::string keyFile;
    std::string language;
    app.add_option("--records", uri, Say(res::IDS_LINE_HELP_RECORDS))->envname("TIRVEL_RECORDS");
    app.add_option("--listen", listenText, Say(res::IDS_LINE_HELP_LISTEN))
        ->envname("TIRVEL_LINE_LISTEN");
    auto* cert = app.add_option("--tls-cert", certFile, Say(res::IDS_LINE_HELP_TLS_CERT))
                     ->envname("TIRVEL_LINE_TLS_CERT");
    auto* key = app.add_option("--tls-key", keyFile, Say(res::IDS_LINE_HELP_TLS_KEY))
                    ->envname("TIRVEL_LINE_TLS_KEY");
    cert->needs(key);
    key->needs(cert);
    app.add_option("--lang", language, "en | zh");
    app.set_version_flag("--version", "tirvel-line " TIRVEL_VERSION);

    auto* token = app.add_subcommand("token", Say(res::IDS_LINE_HELP_TOKEN));
    auto* tokenAdd = token->add_subcommand("add", Say(res::IDS_LINE_HELP_TOKEN_ADD));
    std::string tokenName;
    tokenAdd->add_option("NAME", tokenName)->required();
    auto* tokenList = token->add_subcommand("list", Say(res::IDS_LINE_HELP_TOKEN_LIST));
    auto* tokenRevoke = token->add_subcommand("revoke", Say(res::IDS_LINE_HELP_TOKEN_REVOKE));
    long long tokenId = 0;
    tokenRevoke->add_option("ID", tokenId)->required()->check(CLI::PositiveNumber);
    token->require_subcommand(1);

    auto* user = app.add_subcommand("user", Say(res::IDS_LINE_HELP_USER));
    auto* userAdd = user->add_subcommand("add", Say(res::IDS_LINE_HELP_USER_ADD));
    std::string userName;
    std::string roleName;
    userAdd->add_option("NAME", userName)->required();
    userAdd->add_option("--role", roleName, Say(res::IDS_LINE_HELP_ROLE))
        ->required()
        ->check(CLI::IsMember({"admin", "viewer"}));
    user->require_subcommand(1);

    std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e, out, err);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e, out, err);
    } catch (const CLI::ParseError& e) {
        app.exit(e, out, err);
        return kExitUsage;
    }
    if (!language.empty()) {
        if (const auto chosen = fw::ParseLanguage(language)) {
            fw::SetLanguage(*chosen);
        }
    }
    if (uri.rfind("postgresql://", 0) != 0 && uri.rfind("postgres://", 0) != 0) {
        err << Say(res::IDS_LINE_NEEDS_RECORDS) << "\n";
        return kExitUsage;
    }

    if (tokenAdd->parsed()) {
        return OnServer(uri, err, [&](records::PgConnection& db) {
            const char* by = std::getenv("USER");
            const NewToken made = AddToken(db, tokenName, by != nullptr ? by : "command line");
            err << Say(res::IDS_LINE_TOKEN_MADE, {tokenName, std::to_string(made.id)}) << "\n";
            out << made.token << std::endl;
            return 0;
        });
    }
    if (tokenList->parsed()) {
        return OnServer(uri, err, [&](records::PgConnection& db) {
            const nlohmann::json tokens = ListTokens(db);
            for (const auto& t : tokens["tokens"]) {
                out << t["id"].get<long long>() << "\t" << t["name"].get<std::string>() << "\t"
                    << t["created_at"].get<std::string>() << "\t"
                    << (t["revoked_at"].is_null() ? "-" : t["revoked_at"].get<std::string>())
                    << "\n";
            }
            return 0;
        });
    }
    if (tokenRevoke->parsed()) {
        return OnServer(uri, err, [&](records::PgConnection& db) {
            if (!RevokeToken(db, tokenId)) {
                err << fw::FormatMessageText(fw::LoadString(res::IDS_LINE_NO_TOKEN),
                                             {std::to_string(tokenId)})
                    << "\n";
                return kExitFailed;
            }
            out << Say(res::IDS_LINE_TOKEN_REVOKED, {std::to_string(tokenId)}) << "\n";
            return 0;
        });
    }
    if (userAdd->parsed()) {
        const bool terminal = &in == &std::cin && isatty(STDIN_FILENO) != 0;
        const auto password = ReadPassword(in, err, Say(res::IDS_LINE_PASSWORD_PROMPT, {userName}));
        if (!password || password->size() < kShortestPassword) {
            err << Say(res::IDS_LINE_PASSWORD_SHORT, {std::to_string(kShortestPassword)}) << "\n";
            return kExitFailed;
        }
        if (terminal) {
            const auto again = ReadPassword(in, err, Say(res::IDS_LINE_PASSWORD_AGAIN));
            if (!again || *again != *password) {
                err << Say(res::IDS_LINE_PASSWORDS_DIFFER) << "\n";
                return kExitFailed;
            }
        }
        return OnServer(uri, err, [&](records::PgConnection& db) {
            if (!AddUser(db, userName, *ParseRole(roleName), *password)) {
                err << Say(res::IDS_LINE_USER_EXISTS, {userName}) << "\n";
                return kExitFailed;
            }
            out << Say(res::IDS_LINE_USER_MADE, {userName, roleName}) << "\n";
            return 0;
        });
    }
    const auto listen = ParseListen(listenText);
    if (!listen) {
        err << Say(res::IDS_LINE_BAD_LISTEN, {listenText}) << "\n";
        return kExitUsage;
    }
    return Serve(uri, *listen, certFile, keyFile, out, err);
}

}  // namespace line
