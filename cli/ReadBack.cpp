#include "cli/ReadBack.h"

#include <algorithm>

#include "cfgfile/ConfigFile.h"

namespace cli {

std::vector<WantedItem> ProfileItems(std::string_view fileBytes) {
    std::vector<WantedItem> items;
    for (std::string_view line : cfgfile::SplitTextLines(fileBytes)) {
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) {
            continue;
        }
        const std::string_view key = line.substr(0, equals);
        const std::string value(line.substr(equals + 1));
        auto same = std::find_if(items.begin(), items.end(),
                                 [key](const WantedItem& item) { return item.label == key; });
        if (same != items.end()) {
            same->value = value;
        } else {
            items.push_back({0, std::string(key), value});
        }
    }
    return items;
}

std::string FormLabel(const ListedItem& item) {
    return std::to_string(item.number) + ". " + item.name;
}

void ReadBack::Add(const Listing& listing) {
    anyEnded_ = anyEnded_ || listing.ended;
    // A number listed twice in one reply counts as the form counts it: its
    // later line.
    std::map<int, ListedItem> lines;
    for (const ListedItem& item : listing.items) {
        lines[item.number] = item;
    }
    for (const auto& [number, item] : lines) {
        if (agreed_.count(number) != 0) {
            continue;
        }
        std::vector<ListedItem>& earlier = seen_[number];
        if (std::find(earlier.begin(), earlier.end(), item) != earlier.end()) {
            agreed_[number] = item;
        } else {
            earlier.push_back(item);
        }
    }
}

bool ReadBack::Complete() const {
    return anyEnded_ && std::all_of(seen_.begin(), seen_.end(), [this](const auto& entry) {
               return agreed_.count(entry.first) != 0;
           });
}

std::optional<ListedItem> ReadBack::Find(const WantedItem& wanted) const {
    if (wanted.number != 0) {
        auto it = agreed_.find(wanted.number);
        return it != agreed_.end() ? std::optional<ListedItem>(it->second) : std::nullopt;
    }
    for (const auto& [number, item] : agreed_) {
        if (FormLabel(item) == wanted.label) {
            return item;
        }
    }
    return std::nullopt;
}

ReadBack ReadBackItems(PortHandle port, const std::vector<WantedItem>& wanted, int maxReads) {
    ReadBack readBack;
    for (int read = 0; read < maxReads; ++read) {
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
    for (const WantedItem& item : wanted) {
        ItemCheck check{item, readBack.Find(item), false};
        check.known = check.found.has_value() || readBack.Complete();
        checks.push_back(std::move(check));
    }
    return checks;
}

}  // namespace cli
