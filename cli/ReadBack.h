// What the device holds after a write, as far as the line lets it be known.
// Noise spoils most listings somewhere (a label, a value, a line lost), and a
// spoilt line believed is a false verdict either way; the same line read twice
// alike is the device's, on a line whose faults are random. So each item is
// known once two readings of it agree.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "protocol/ConfigurationListing.h"
#include "serial/ComPort.h"

namespace cli {

// A value the device was asked to hold: the item is found by its number, or,
// when number is 0, by the form's label for it ("N. name"), as Import finds it.
struct WantedItem {
    int number = 0;
    std::string label;
    std::string value;
};

// The profile's keys with the values Import leaves in the form: a key given
// twice ends with the later value. In the order the keys first appear.
std::vector<WantedItem> ProfileItems(std::string_view fileBytes);

// Readings of the configuration, item by item.
class ReadBack {
public:
    void Add(const Listing& listing);

    // The items read alike twice, by number.
    const std::map<int, ListedItem>& Agreed() const { return agreed_; }
    // Whether every item any reading showed is agreed, after at least one
    // complete reply: only then does an item missing from Agreed() not exist.
    bool Complete() const;
    // The agreed item a wanted one names, if any.
    std::optional<ListedItem> Find(const WantedItem& wanted) const;

private:
    std::map<int, std::vector<ListedItem>> seen_;
    std::map<int, ListedItem> agreed_;
    // The agreed items by their form label: a profile's keys are found by
    // label, and a profile may name far more keys than a device has items.
    std::unordered_map<std::string, int> byLabel_;
    std::set<int> conflicted_;
    bool anyEnded_ = false;
};

// Reads the configuration (each a plain "AT+GETDV=0") until every wanted item
// is agreed or the readings are complete, at most maxReads times; abandoned
// between two readings once `abandon` says so (Ctrl+C: each reading takes up
// to a few seconds on a device that answers badly).
inline constexpr int kReadBackListings = 12;
ReadBack ReadBackItems(PortHandle port, const std::vector<WantedItem>& wanted,
                       const std::function<bool()>& abandon = {}, int maxReads = kReadBackListings);

struct ItemCheck {
    WantedItem wanted;
    std::optional<ListedItem> found;  // the agreed item it names
    bool known = false;               // found, or the device surely has no such item

    bool Holds() const { return found && found->value == wanted.value; }
    bool Differs() const { return found && found->value != wanted.value; }
    bool Unmatched() const { return known && !found; }
    bool Unknown() const { return !known; }
    bool Missing() const { return !found; }
};

std::vector<ItemCheck> CheckItems(const std::vector<WantedItem>& wanted, const ReadBack& readBack);

}  // namespace cli
