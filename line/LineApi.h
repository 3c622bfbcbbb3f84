// What tirvel-line answers: the page and its files, the login, and the API
// under /api/v1. Every parameter is checked before a query is made; a bad
// one is answered 400 with what is wrong, in the client's language.
#pragma once

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

private:
    LineDatabase& db_;
    EventHub& hub_;
    Sessions& sessions_;
};

}  // namespace line
