// The API described for its clients: an OpenAPI 3 document.
#pragma once

#include <string_view>

namespace line {

std::string_view OpenApiDocument();

}  // namespace line
