#include "line/HttpMessage.h"

namespace line {

std::string HttpRequest::Header(std::string_view name) const {
    for (const auto& [key, value] : headers) {
        if (key == name) {
            return value;
        }
    }
    return {};
}

std::string HttpRequest::Cookie(std::string_view name) const {
    const std::string cookies = Header("cookie");
    std::size_t at = 0;
    while (at < cookies.size()) {
        std::size_t end = cookies.find(';', at);
        if (end == std::string::npos) {
            end = cookies.size();
        }
        std::string_view pair(cookies.data() + at, end - at);
        while (!pair.empty() && pair.front() == ' ') {
            pair.remove_prefix(1);
        }
        const std::size_t equals = pair.find('=');
        if (equals != std::string_view::npos && pair.substr(0, equals) == name) {
            return std::string(pair.substr(equals + 1));
        }
        at = end + 1;
    }
    return {};
}

}  // namespace line
