#include "cli/ReadBack.h"

#include <algorithm>
#include <unordered_map>

#include "cfgfile/ConfigFile.h"
#include "protocol/ItemLabel.h"

namespace cli {

std::vector<WantedItem> ProfileItems(std::string_view fileBytes) {
    std::vector<WantedItem> items;
    // A profile may hold any number of keys: each is looked up once, not
    // compared with every key before it.
    std::unordered_map<std::string_view, std::size_t> indexOf;
    for (const cfgfile::ProfileLine& entry : cfgfile::ParseProfile(fileBytes)) {
        const auto [at, added] = indexOf.try_emplace(entry.key, items.size());
        if (added) {
            items.push_back({0, std::string(entry.key), std::string(entry.value)});
        } else {
            items[at->second].value.assign(entry.value);
        }
    }
    return items;
}

void ReadBack::Add(const Listing& listing) {
    anyEnded_ = anyEnded_ || listing.ended;
    // Every line votes, not only the last one of its number: a lost digit
    // turns "12,..." into a "2,..." further down, which must not outvote the
    // real item 2 above it. A line given twice in one reply is one reading.
    std::vector<ListedItem> lines;
    for (const ListedItem& item : listing.items) {
        if (std::find(lines.begin(), lines.end(), item) == lines.end()) {
            lines.push_back(item);
        }
    }
    for (const ListedItem& item : lines) {
        const int number = item.number;
        if (conflicted_.count(number) != 0) {
            continue;
        }
        std::vector<ListedItem>& earlier = seen_[number];
        if (std::find(earlier.begin(), earlier.end(), item) == earlier.end()) {
            earlier.push_back(item);
            continue;
        }
        auto agreed = agreed_.find(number);
        if (agreed == agreed_.end()) {
            agreed_.emplace(number, item);
            byLabel_.emplace(ItemLabel(item.number, item.name), number);
        } else if (!(agreed->second == item)) {
            // Two lines of one number each read twice: which is the device's
            // cannot be told.
            byLabel_.erase(ItemLabel(agreed->second.number, agreed->second.name));
            agreed_.erase(agreed);
            conflicted_.insert(number);
        }
    }
}

bool ReadBack::Complete() const {
    return anyEnded_ && conflicted_.empty() &&
           std::all_of(seen_.begin(), seen_.end(),
                       [this](const auto& entry) { return agreed_.count(entry.first) != 0; });
}

std::optional<ListedItem> ReadBack::Find(const WantedItem& wanted) const {
    if (wanted.number != 0) {
        auto it = agreed_.find(wanted.number);
        return it != agreed_.end() ? std::optional<ListedItem>(it->second) : std::nullopt;
    }
    auto it = byLabel_.find(wanted.label);
    return it != byLabel_.end() ? std::optional<ListedItem>(agreed_.at(it->second)) : std::nullopt;
}

ReadBack ReadBackItems(PortHandle port, const std::vector<WantedItem>& wanted,
                       const std::function<bool()>& abandon, int maxReads) {
    ReadBack readBack;
    for (int read = 0; read < maxReads; ++read) {
        if (read > 0 && abandon && abandon()) {
            break;
        }
        readBack.Add(QueryListing(port));
        const bool allFound = std::all_of(wanted.begin(), wanted.end(), [&](const WantedItem& w) {
            return readBack.Find(w).has_value();
        });
        if (allFound || readBack.Complete()) {
            break;
        }
    }
    return readBack;
}

std::vector<ItemCheck> CheckItems(const std::vector<WantedItem>& wanted, const ReadBack& readBack) {
    std::vector<ItemCheck> checks;
    checks.reserve(wanted.size());
    const bool complete = readBack.Complete();
    for (const WantedItem& item : wanted) {
        ItemCheck check{item, readBack.Find(item), false};
        check.known = check.found.has_value() || complete;
        checks.push_back(std::move(check));
    }
    return checks;
}

}  // namespace cli
