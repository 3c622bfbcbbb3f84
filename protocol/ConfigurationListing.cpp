#include "protocol/ConfigurationListing.h"

#include <cctype>
#include <climits>

#include "protocol/AtExchange.h"

namespace {

// The item number the way atoi reads it (leading blanks and a sign allowed,
// stops at the first non-digit, no digits give 0), but without atoi's undefined
// behaviour on numbers too large for an int: those saturate.
int ParseItemNumber(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    long long value = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > INT_MAX) {
            value = INT_MAX;
        }
    }
    return static_cast<int>(negative ? -value : value);
}

}  // namespace

std::optional<ListedItem> ParseListingLine(std::string_view line) {
    const std::size_t firstComma = line.find(',');
    if (firstComma == std::string_view::npos) {
        return std::nullopt;  // the echo, blank lines and the final "OK"
    }
    const int n = ParseItemNumber(line.substr(0, firstComma));
    if (n < 1) {
        return std::nullopt;
    }
    const std::size_t secondComma = line.find(',', firstComma + 1);
    if (secondComma == std::string_view::npos || n > kListedItemRows) {
        return std::nullopt;
    }
    return ListedItem{n, std::string(line.substr(firstComma + 1, secondComma - firstComma - 1)),
                      std::string(line.substr(secondComma + 1))};
}

std::vector<ListedItem> ParseListing(std::string_view reply) {
    reply = reply.substr(0, reply.find('\0'));
    std::vector<ListedItem> items;
    for (std::size_t end; (end = reply.find("\r\n")) != std::string_view::npos;
         reply.remove_prefix(end + 2)) {
        if (auto item = ParseListingLine(reply.substr(0, end))) {
            items.push_back(std::move(*item));
        }
    }
    return items;
}

Listing QueryListing(PortHandle port) {
    char reply[2048];
    const bool ended =
        QueryAtCommand(port, "AT+GETDV=0\r", reply, sizeof reply, kShortReplyLimit) >= 0;
    std::vector<ListedItem> items = ParseListing(reply);
    // A device always has items: an "OK" with none before it ends nothing,
    // it is a line the device sent of its own.
    const bool whole = ended && !items.empty();
    return {std::move(items), whole};
}
