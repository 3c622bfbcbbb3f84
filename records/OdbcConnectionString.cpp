#include "records/OdbcConnectionString.h"

#include <map>
#include <vector>

#include "common/AsciiText.h"

namespace records {

namespace {

std::optional<std::string> PercentDecoded(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        const auto byte =
            i + 2 < text.size() ? FromHex(std::string_view(text).substr(i + 1, 2)) : std::nullopt;
        if (!byte) {
            return std::nullopt;
        }
        out += *byte;
        i += 2;
    }
    return out;
}

// A value as an ODBC connection string takes it: in braces (a closing brace
// doubled) when it holds what would end or split it.
std::string OdbcValue(const std::string& value) {
    if (value.find_first_of(";{}=") == std::string::npos &&
        (value.empty() || (value.front() != ' ' && value.back() != ' '))) {
        return value;
    }
    std::string braced = "{";
    for (const char c : value) {
        braced += c;
        if (c == '}') {
            braced += '}';
        }
    }
    return braced + "}";
}

// A value among libpq's keyword=value pairs: quoted, with ' and \ escaped.
std::string LibpqValue(const std::string& value) {
    std::string quoted = "'";
    for (const char c : value) {
        if (c == '\'' || c == '\\') {
            quoted += '\\';
        }
        quoted += c;
    }
    return quoted + "'";
}

using Keywords = std::map<std::string, std::string>;               // libpq's
using Options = std::vector<std::pair<std::string, std::string>>;  // in the URI's order

std::optional<std::string> AfterScheme(const std::string& uri) {
    for (const char* scheme : {"postgresql://", "postgres://"}) {
        if (uri.starts_with(scheme)) {
            return uri.substr(std::char_traits<char>::length(scheme));
        }
    }
    return std::nullopt;
}

// The URI's parts up to its query into keywords, still percent-encoded;
// returns the query.
std::string SplitAuthority(std::string rest, Keywords& given) {
    std::string query;
    if (const std::size_t mark = rest.find('?'); mark != std::string::npos) {
        query = rest.substr(mark + 1);
        rest.erase(mark);
    }
    if (const std::size_t slash = rest.find('/'); slash != std::string::npos) {
        given["dbname"] = rest.substr(slash + 1);
        rest.erase(slash);
    }
    if (const std::size_t at = rest.rfind('@'); at != std::string::npos) {
        const std::string user = rest.substr(0, at);
        rest.erase(0, at + 1);
        const std::size_t colon = user.find(':');
        given["user"] = user.substr(0, colon);
        if (colon != std::string::npos) {
            given["password"] = user.substr(colon + 1);
        }
    }
    // host[:port], or [v6 address][:port]; several hosts stay one text.
    const std::size_t bracket = rest.rfind(']');
    const std::size_t colon = rest.rfind(':');
    if (colon != std::string::npos && rest.find(',') == std::string::npos &&
        (bracket == std::string::npos || colon > bracket)) {
        given["port"] = rest.substr(colon + 1);
        rest.erase(colon);
    }
    if (rest.size() >= 2 && rest.front() == '[' && rest.back() == ']') {
        rest = rest.substr(1, rest.size() - 2);
    }
    given["host"] = rest;
    return query;
}

// The query's key=value pairs, decoded; nothing when one is malformed.
std::optional<Options> QueryOptions(const std::string& query) {
    Options options;
    for (std::size_t start = 0; start < query.size();) {
        std::size_t end = query.find('&', start);
        if (end == std::string::npos) {
            end = query.size();
        }
        const std::string pair = query.substr(start, end - start);
        start = end + 1;
        if (pair.empty()) {
            continue;
        }
        const std::size_t equals = pair.find('=');
        if (equals == std::string::npos) {
            return std::nullopt;
        }
        const auto key = PercentDecoded(pair.substr(0, equals));
        const auto value = PercentDecoded(pair.substr(equals + 1));
        if (!key || !value) {
            return std::nullopt;
        }
        options.emplace_back(*key, *value);
    }
    return options;
}

// The options ODBC has a keyword for go into given; the others, and the
// connect timeout unless the URI names one, into the text for pqopt.
std::string LibpqOptions(const Options& options, Keywords& given, int connectSeconds) {
    std::string pqopt;
    bool timeoutGiven = false;
    for (const auto& [key, value] : options) {
        if (key == "host" || key == "port" || key == "dbname" || key == "user" ||
            key == "password" || key == "sslmode") {
            given[key] = value;
            continue;
        }
        timeoutGiven = timeoutGiven || key == "connect_timeout";
        pqopt += (pqopt.empty() ? "" : " ") + key + "=" + LibpqValue(value);
    }
    if (!timeoutGiven && connectSeconds > 0) {
        pqopt += (pqopt.empty() ? "" : " ") + std::string("connect_timeout=") +
                 std::to_string(connectSeconds);
    }
    return pqopt;
}

std::string OdbcText(const std::string& driver, const Keywords& given, const std::string& pqopt) {
    std::string text = "Driver={" + driver + "}";
    const std::pair<const char*, const char*> names[] = {
        {"host", "Server"}, {"port", "Port"},    {"dbname", "Database"},
        {"user", "Uid"},    {"password", "Pwd"}, {"sslmode", "SSLmode"},
    };
    for (const auto& [keyword, odbc] : names) {
        if (const auto found = given.find(keyword);
            found != given.end() && !found->second.empty()) {
            text += std::string(";") + odbc + "=" + OdbcValue(found->second);
        }
    }
    if (!pqopt.empty()) {
        text += ";pqopt=" + OdbcValue(pqopt);
    }
    return text;
}

}  // namespace

std::optional<std::string> OdbcConnectionString(const std::string& uri, const std::string& driver,
                                                int connectSeconds) {
    const std::optional<std::string> afterScheme = AfterScheme(uri);
    if (!afterScheme) {
        return std::nullopt;
    }
    Keywords given;
    const std::optional<Options> options = QueryOptions(SplitAuthority(*afterScheme, given));
    if (!options) {
        return std::nullopt;
    }
    for (auto& [keyword, value] : given) {
        const auto decoded = PercentDecoded(value);
        if (!decoded) {
            return std::nullopt;
        }
        value = *decoded;
    }
    const std::string pqopt = LibpqOptions(*options, given, connectSeconds);
    return OdbcText(driver, given, pqopt);
}

}  // namespace records
