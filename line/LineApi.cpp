#include "line/LineApi.h"

#include <time.h>

#include <algorithm>
#include <set>

#include "framework/StringTable.h"
#include "line/Assets.h"
#include "line/LineQueries.h"
#include "line/OpenApi.h"
#include "records/DeviceRecord.h"
#include "records/RecordId.h"
#include "records/RecordStore.h"
#include "records/ServerQueries.h"
#include "res/LineIds.h"

namespace line {

namespace {

using fw::Language;
using nlohmann::json;

constexpr const char* kSessionCookie = "tirvel_session";

// An answer given instead of the one asked for, thrown from deep in a route.
struct Refused {
    int status;
    std::string message;
};

Language ClientLanguage(const HttpRequest& request) {
    const std::string accept = request.Header("accept-language");
    // The first language named is the client's first choice.
    return accept.rfind("zh", 0) == 0 ? Language::Chinese : Language::English;
}

std::string Say(Language language, fw::UINT id, const std::vector<std::string>& args = {}) {
    return fw::FormatMessageText(fw::LoadString(id, language), args);
}

HttpResponse Json(int status, const json& body) {
    HttpResponse answer;
    answer.status = status;
    answer.body = body.dump();
    answer.headers.emplace_back("Cache-Control", "no-store");
    return answer;
}

HttpResponse Error(int status, const std::string& message) {
    return Json(status, {{"error", message}});
}

HttpResponse Csv(const std::string& name, std::string body) {
    HttpResponse answer;
    answer.contentType = "text/csv; charset=utf-8";
    answer.body = std::move(body);
    answer.headers.emplace_back("Content-Disposition", "attachment; filename=\"" + name + ".csv\"");
    answer.headers.emplace_back("Cache-Control", "no-store");
    return answer;
}

// Printable text, no control characters: what a filter can hold.
bool Plain(const std::string& text) {
    return std::none_of(text.begin(), text.end(),
                        [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; });
}

class Params {
public:
    Params(const HttpRequest& request, Language language, std::vector<std::string> allowed)
        : request_(request), language_(language) {
        std::set<std::string> seen;
        for (const auto& [name, value] : request.query) {
            if (std::find(allowed.begin(), allowed.end(), name) == allowed.end()) {
                std::string list;
                for (const auto& a : allowed) {
                    list += (list.empty() ? "" : ", ") + a;
                }
                Refuse(res::IDS_LINE_UNKNOWN_PARAMETER, {name, list.empty() ? "-" : list});
            }
            if (!seen.insert(name).second) {
                Refuse(res::IDS_LINE_PARAMETER_TWICE, {name});
            }
        }
    }

    [[noreturn]] void Refuse(fw::UINT id, const std::vector<std::string>& args) const {
        throw Refused{400, Say(language_, id, args)};
    }

    const std::string* Given(const std::string& name) const {
        for (const auto& [key, value] : request_.query) {
            if (key == name) {
                return &value;
            }
        }
        return nullptr;
    }

    std::string Text(const std::string& name) const {
        const std::string* value = Given(name);
        if (value == nullptr) {
            return {};
        }
        if (value->empty()) {
            Refuse(res::IDS_LINE_PARAMETER_EMPTY, {name});
        }
        if (value->size() > 256 || !Plain(*value)) {
            Refuse(res::IDS_LINE_BAD_TEXT, {name});
        }
        return *value;
    }

    std::string Time(const std::string& name) const {
        const std::string text = Text(name);
        if (text.empty()) {
            return {};
        }
        const auto time = records::ParseRecordsTime(text);
        if (!time) {
            Refuse(res::IDS_LINE_BAD_TIME, {name, text});
        }
        return *time;
    }

    std::string Choice(const std::string& name, const std::vector<std::string>& choices) const {
        const std::string text = Text(name);
        if (text.empty() || std::find(choices.begin(), choices.end(), text) != choices.end()) {
            return text;
        }
        std::string list;
        for (const auto& c : choices) {
            list += (list.empty() ? "" : ", ") + c;
        }
        Refuse(res::IDS_LINE_BAD_CHOICE, {name, text, list});
    }

    int Number(const std::string& name, int least, int most, int otherwise) const {
        const std::string text = Text(name);
        if (text.empty()) {
            return otherwise;
        }
        const bool digits = text.size() <= 9 && std::all_of(text.begin(), text.end(), [](char c) {
                                return c >= '0' && c <= '9';
                            });
        const int number = digits ? std::stoi(text) : -1;
        if (!digits || number < least || number > most) {
            Refuse(res::IDS_LINE_BAD_NUMBER,
                   {name, text, std::to_string(least), std::to_string(most)});
        }
        return number;
    }

private:
    const HttpRequest& request_;
    Language language_;
};

// "2026-12-10T08:00:00.000Z" less a day, in the same form.
std::string DayBefore(const std::string& time) {
    tm parts{};
    parts.tm_year = std::stoi(time.substr(0, 4)) - 1900;
    parts.tm_mon = std::stoi(time.substr(5, 2)) - 1;
    parts.tm_mday = std::stoi(time.substr(8, 2));
    parts.tm_hour = std::stoi(time.substr(11, 2));
    parts.tm_min = std::stoi(time.substr(14, 2));
    parts.tm_sec = std::stoi(time.substr(17, 2));
    const time_t before = timegm(&parts) - 24 * 3600;
    tm out{};
    gmtime_r(&before, &out);
    char text[32];
    strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &out);
    return std::string(text) + time.substr(19);
}

// A span of records: until now and since a day before until, unless given.
Span SpanOf(const Params& params) {
    Span span;
    span.until = params.Time("until");
    span.since = params.Time("since");
    if (span.until.empty()) {
        span.until = records::UtcNow();
    }
    if (span.since.empty()) {
        span.since = DayBefore(span.until);
    }
    if (span.since >= span.until) {
        params.Refuse(res::IDS_LINE_BAD_SPAN, {span.since, span.until});
    }
    span.station = params.Text("station");
    return span;
}

// Who asks: a login's session, or a program's token.
struct Caller {
    std::optional<Login> login;
    bool token = false;
};

}  // namespace

json LineApi::CachedYield(const std::string& key, const std::function<json()>& read) {
    std::lock_guard lock(yieldMutex_);
    const auto now = std::chrono::steady_clock::now();
    const auto found = yields_.find(key);
    if (found != yields_.end() && now - found->second.first < kYieldFresh) {
        return found->second.second;
    }
    json answer = read();
    if (yields_.size() >= 64) {
        yields_.clear();
    }
    yields_[key] = {now, answer};
    return answer;
}

HttpResponse LineApi::Answer(const HttpRequest& request) {
    const Language language = ClientLanguage(request);
    const std::string& path = request.path;
    const bool get = request.method == "GET" || request.method == "HEAD";
    try {
        if (path == "/api/v1/openapi.json" && get) {
            HttpResponse answer;
            answer.body = std::string(OpenApiDocument());
            return answer;
        }
        if (path == "/api/v1/health" && get) {
            const bool up = [this] {
                try {
                    db_.With([](records::PgConnection& c) { return c.Exec("SELECT 1").Rows(); });
                    return true;
                } catch (const std::exception&) {
                    return false;
                }
            }();
            return Json(up ? 200 : 503, {{"database", up}});
        }
        if (path == "/login" && request.method == "POST") {
            json body;
            try {
                body = json::parse(request.body);
            } catch (const json::exception&) {
                return Error(
                    400, Say(language, res::IDS_LINE_BAD_BODY, {"JSON {\"user\", \"password\"}"}));
            }
            if (!body.is_object() || !body.contains("user") || !body.contains("password") ||
                !body["user"].is_string() || !body["password"].is_string()) {
                return Error(
                    400, Say(language, res::IDS_LINE_BAD_BODY, {"JSON {\"user\", \"password\"}"}));
            }
            const std::string user = body["user"];
            const std::string password = body["password"];
            if (const int wait = sessions_.PausedFor(user); wait > 0) {
                return Error(429,
                             Say(language, res::IDS_LINE_LOGIN_PAUSED, {std::to_string(wait)}));
            }
            const std::optional<Login> login = db_.With(
                [&](records::PgConnection& c) { return CheckPassword(c, user, password); });
            if (!login) {
                sessions_.Failed(user);
                return Error(401, Say(language, res::IDS_LINE_BAD_LOGIN));
            }
            sessions_.Succeeded(user);
            HttpResponse answer =
                Json(200, {{"user", login->user}, {"role", RoleName(login->role)}});
            answer.headers.emplace_back("Set-Cookie", std::string(kSessionCookie) + "=" +
                                                          sessions_.Open(*login) +
                                                          "; Path=/; HttpOnly; SameSite=Strict" +
                                                          (request.secure ? "; Secure" : ""));
            return answer;
        }
        if (path == "/logout" && request.method == "POST") {
            sessions_.End(request.Cookie(kSessionCookie));
            HttpResponse answer = Json(200, json::object());
            answer.headers.emplace_back("Set-Cookie", std::string(kSessionCookie) +
                                                          "=; Path=/; HttpOnly; SameSite=Strict; "
                                                          "Max-Age=0");
            return answer;
        }
        if (path.rfind("/api/", 0) != 0) {
            if (!get) {
                return Error(405,
                             Say(language, res::IDS_LINE_NO_SUCH_CALL, {request.method, path}));
            }
            // The page without a login is the login page.
            if (path == "/" && !sessions_.Find(request.Cookie(kSessionCookie))) {
                HttpResponse answer;
                answer.status = 303;
                answer.contentType = "text/plain; charset=utf-8";
                answer.headers.emplace_back("Location", "/login");
                return answer;
            }
            const Asset* asset = FindAsset(path);
            if (asset == nullptr) {
                return Error(404,
                             Say(language, res::IDS_LINE_NO_SUCH_CALL, {request.method, path}));
            }
            HttpResponse answer;
            answer.contentType = std::string(asset->contentType);
            answer.body = std::string(asset->body);
            answer.headers.emplace_back("Content-Security-Policy",
                                        "default-src 'self'; img-src 'self' data:; "
                                        "frame-ancestors 'none'");
            if (!asset->etag.empty()) {
                answer.headers.emplace_back("ETag", std::string(asset->etag));
            }
            return answer;
        }

        // The API: a caller first.
        Caller caller;
        const std::string authorization = request.Header("authorization");
        if (authorization.rfind("Bearer ", 0) == 0) {
            const std::string token = authorization.substr(7);
            if (!db_.With([&](records::PgConnection& c) { return CheckToken(c, token); })) {
                return Error(401, Say(language, res::IDS_LINE_BAD_TOKEN));
            }
            caller.token = true;
        } else {
            caller.login = sessions_.Find(request.Cookie(kSessionCookie));
            if (!caller.login) {
                HttpResponse answer = Error(401, Say(language, res::IDS_LINE_NEEDS_TOKEN));
                answer.headers.emplace_back("WWW-Authenticate", "Bearer realm=\"tirvel-line\"");
                return answer;
            }
        }
        if (!get) {
            if (caller.token) {
                return Error(403, Say(language, res::IDS_LINE_READ_ONLY));
            }
            // A form of another site can send the cookie, never this header.
            if (request.Header("x-tirvel-request").empty()) {
                return Error(403, Say(language, res::IDS_LINE_CROSS_SITE));
            }
        }

        const std::string api = path.substr(std::string("/api/v1").size());
        if (path.rfind("/api/v1/", 0) != 0) {
            return Error(404, Say(language, res::IDS_LINE_NO_SUCH_CALL, {request.method, path}));
        }
        if (api == "/me" && get) {
            Params params(request, language, {});
            if (caller.token) {
                return Json(200, {{"user", nullptr}, {"role", "token"}});
            }
            return Json(200,
                        {{"user", caller.login->user}, {"role", RoleName(caller.login->role)}});
        }
        if (api == "/records" && get) {
            Params params(request, language,
                          {"imei", "since", "until", "result", "station", "message_id", "message",
                           "limit", "cursor", "format"});
            const bool csv = params.Choice("format", {"json", "csv"}) == "csv";
            RecordsFilter filter;
            filter.imei = params.Text("imei");
            filter.since = params.Time("since");
            filter.until = params.Time("until");
            filter.result = params.Choice("result", {"ok", "failed", "interrupted"});
            filter.station = params.Text("station");
            filter.messageId = params.Text("message_id");
            filter.message = params.Text("message");
            filter.limit = csv ? params.Number("limit", 1, 100000, 100000)
                               : params.Number("limit", 1, 1000, 100);
            if (const std::string cursor = params.Text("cursor"); !cursor.empty()) {
                const auto after = DecodeCursor(cursor);
                if (!after) {
                    params.Refuse(res::IDS_LINE_BAD_CURSOR, {});
                }
                filter.afterTime = after->first;
                filter.afterId = after->second;
            }
            const json page =
                db_.With([&](records::PgConnection& c) { return RecordsPage(c, filter); });
            if (!csv) {
                return Json(200, page);
            }
            HttpResponse answer = Csv("records", ListCsv(page["records"], RecordColumns()));
            if (!page["next_cursor"].is_null()) {
                answer.headers.emplace_back("X-Next-Cursor", page["next_cursor"]);
            }
            return answer;
        }
        if (api.rfind("/records/", 0) == 0 && get) {
            Params params(request, language, {"format"});
            const bool csv = params.Choice("format", {"json", "csv"}) == "csv";
            const std::string id = api.substr(9);
            if (!records::server::LooksLikeUuid(id)) {
                return Error(400, Say(language, res::IDS_LINE_BAD_ID, {id}));
            }
            const json record =
                db_.With([&](records::PgConnection& c) { return RecordWithItems(c, id); });
            if (record.is_null()) {
                return Error(404, Say(language, res::IDS_LINE_NO_RECORD, {id}));
            }
            if (csv) {
                return Csv("record-" + id,
                           ListCsv(record["items"],
                                   {"seq", "number", "name_text", "name_hex", "before_text",
                                    "before_hex", "wanted_text", "wanted_hex", "after_text",
                                    "after_hex", "written", "source"}));
            }
            return Json(200, record);
        }
        if (api == "/stations" && get) {
            Params params(request, language, {"format"});
            const bool csv = params.Choice("format", {"json", "csv"}) == "csv";
            const json stations = db_.With([](records::PgConnection& c) { return Stations(c); });
            if (!csv) {
                return Json(200, stations);
            }
            json ports = json::array();
            for (const json& station : stations["stations"]) {
                for (json port : station["ports"]) {
                    port["station"] = station["station"];
                    port["online"] = station["online"];
                    ports.push_back(port);
                }
            }
            return Csv("stations",
                       ListCsv(ports, {"station", "online", "port_no", "label", "phase",
                                       "state_text", "imei_text", "permille", "ok", "failed",
                                       "last_verdict", "last_ok", "values_source"}));
        }
        if (api == "/yield" && get) {
            Params params(request, language, {"since", "until", "station", "by", "format"});
            const bool csv = params.Choice("format", {"json", "csv"}) == "csv";
            const std::string by = params.Choice("by", {"hour", "station", "hour,station"});
            const Span span = SpanOf(params);
            const bool byHour = by.find("hour") != std::string::npos;
            const bool byStation = by.find("station") != std::string::npos;
            const std::string key =
                params.Text("since") + "|" + params.Text("until") + "|" + span.station + "|" + by;
            const json yield = CachedYield(key, [&] {
                return db_.With(
                    [&](records::PgConnection& c) { return Yield(c, span, byHour, byStation); });
            });
            if (!csv) {
                return Json(200, yield);
            }
            std::vector<std::string> columns;
            if (byHour) {
                columns.emplace_back("hour");
            }
            if (byStation) {
                columns.emplace_back("station");
            }
            for (const char* c : {"records", "ok", "failed", "interrupted", "devices",
                                  "first_pass_ok", "first_pass_yield"}) {
                columns.emplace_back(c);
            }
            return Csv("yield", ListCsv(yield.contains("rows") ? yield["rows"]
                                                               : json::array({yield["totals"]}),
                                        columns));
        }
        if (api == "/failures" && get) {
            Params params(request, language, {"since", "until", "station", "format"});
            const bool csv = params.Choice("format", {"json", "csv"}) == "csv";
            const Span span = SpanOf(params);
            const json failures =
                db_.With([&](records::PgConnection& c) { return Failures(c, span); });
            if (!csv) {
                return Json(200, failures);
            }
            return Csv("failures", ListCsv(failures["failures"],
                                           {"message_id", "message", "count", "last_at"}));
        }
        if (api == "/events" && get) {
            Params params(request, language, {});
            HttpResponse answer;
            answer.contentType = "text/event-stream; charset=utf-8";
            answer.headers.emplace_back("Cache-Control", "no-store");
            answer.headers.emplace_back("X-Accel-Buffering", "no");
            answer.stream = hub_.Open();
            return answer;
        }
        if (api == "/tokens" || api.rfind("/tokens/", 0) == 0) {
            if (caller.token || caller.login->role != Role::Admin) {
                return Error(403, Say(language, res::IDS_LINE_NEEDS_ADMIN));
            }
            if (api == "/tokens" && get) {
                Params params(request, language, {});
                return Json(200, db_.With([](records::PgConnection& c) { return ListTokens(c); }));
            }
            if (api == "/tokens" && request.method == "POST") {
                json body;
                try {
                    body = json::parse(request.body);
                } catch (const json::exception&) {
                }
                if (!body.is_object() || !body.contains("name") || !body["name"].is_string() ||
                    body["name"].get<std::string>().empty() ||
                    body["name"].get<std::string>().size() > 200 ||
                    !Plain(body["name"].get<std::string>())) {
                    return Error(400, Say(language, res::IDS_LINE_BAD_BODY, {"JSON {\"name\"}"}));
                }
                const std::string name = body["name"];
                const NewToken made = db_.With([&](records::PgConnection& c) {
                    return AddToken(c, name, caller.login->user);
                });
                return Json(201, {{"id", made.id}, {"name", name}, {"token", made.token}});
            }
            if (request.method == "DELETE" && api.size() > 8) {
                const std::string id = api.substr(8);
                const bool digits =
                    id.size() <= 18 &&
                    std::all_of(id.begin(), id.end(), [](char c) { return c >= '0' && c <= '9'; });
                if (!digits) {
                    return Error(400, Say(language, res::IDS_LINE_BAD_NUMBER,
                                          {"id", id, "1", "999999999999999999"}));
                }
                const bool revoked = db_.With(
                    [&](records::PgConnection& c) { return RevokeToken(c, std::stoll(id)); });
                if (!revoked) {
                    return Error(404, Say(language, res::IDS_LINE_NO_TOKEN, {id}));
                }
                return Json(200, {{"id", std::stoll(id)}, {"revoked", true}});
            }
        }
        return Error(404, Say(language, res::IDS_LINE_NO_SUCH_CALL, {request.method, path}));
    } catch (const Refused& refused) {
        return Error(refused.status, refused.message);
    } catch (const records::StoreError& e) {
        const std::string why = e.what();
        if (e.kind() != records::StoreError::Kind::Open &&
            why.find("does not exist") != std::string::npos) {
            return Error(503, Say(language, res::IDS_LINE_NOT_SET_UP));
        }
        return Error(503, Say(language, res::IDS_LINE_DATABASE_DOWN, {why}));
    }
}

}  // namespace line
