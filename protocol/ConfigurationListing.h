// The device's answer to "AT+GETDV=0": one "number,name,value" line per item.
// The view reads it into the form; tirvelctl also reads it on its own to check
// what the device holds after a write.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "serial/ComPort.h"

struct ListedItem {
    int number = 0;
    std::string name;   // as the device sent it, bytes
    std::string value;  // everything after the second comma, further commas included

    bool operator==(const ListedItem&) const = default;
};

// The form's rows: a line numbered above them is ignored, so it can neither
// touch a slot nor raise the item count beyond the table.
inline constexpr int kListedItemRows = 60;

// One line without its "\r\n". Nothing for the echo, blank lines, "OK" and
// lines numbered outside 1..60 (the form has no row for them).
std::optional<ListedItem> ParseListingLine(std::string_view line);

// Every complete line of a reply, up to its first zero byte, in order; text
// after the last line end is not a complete line.
std::vector<ListedItem> ParseListing(std::string_view reply);

// One plain "AT+GETDV=0" on the port, which changes nothing on the device:
// the lines that came, and whether the reply ended in "OK" (a reply cut short
// or spoilt at its end still brings the lines before). A reply of no items
// never counts as ended: every device has items.
struct Listing {
    std::vector<ListedItem> items;
    bool ended = false;
};
Listing QueryListing(PortHandle port);
