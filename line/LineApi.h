// What tirvel-line answers: the page and its files, the login, and the API
// under /api/v1. Every parameter is checked before a query is made; a bad
// one is answered 400 with what is wrong, in the client's language.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <string>

#include <nlohmann/json.hpp>

#include "line/EventHub.h"
#include "line/HttpMessage.h"
#include "line/LineAuth.h"
#include "line/LineDatabase.h"

namespace line {

class LineApi {
public:
    LineApi(LineDatabase& db, EventHub& hub, Sessions& sessions)
        : db_(db), hub_(hub), sessions_(sessions) {}

    HttpResponse Answer(const HttpRequest& request);

    // The same question of the yield within this time gets the same answer:
    // a line of browsers asking it together costs the server one reading.
    static constexpr std::chrono::seconds kYieldFresh{2};

private:
    nlohmann::json CachedYield(const std::string& key, const std::function<nlohmann::json()>& read);

    LineDatabase& db_;
    EventHub& hub_;
    Sessions& sessions_;
    // Held while a yield is read: the others asking wait for its answer.
    std::mutex yieldMutex_;
    std::map<std::string, std::pair<std::chrono::steady_clock::time_point, nlohmann::json>> yields_;
};

}  // namespace line
