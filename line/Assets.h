// The dashboard's files, built into tirvel-line so that the program is the
// whole of the server: nothing is read from disk or fetched when it runs.
#pragma once

#include <string_view>

namespace line {

struct Asset {
    std::string_view path;
    std::string_view contentType;
    std::string_view body;
    // Quoted, as an ETag header carries it; it changes with the body.
    std::string_view etag;
};

// "/", "/login", "/static/app.js", "/static/chart.js", … ; nullptr for none.
const Asset* FindAsset(std::string_view path);

}  // namespace line
