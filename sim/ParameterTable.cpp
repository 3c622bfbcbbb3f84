#include "ParameterTable.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <utility>

#include "Bytes.h"

namespace kavrelsim {

ParameterTable::ParameterTable(std::vector<Parameter> items) : items_(std::move(items)) {
    std::sort(items_.begin(), items_.end(),
              [](const Parameter& a, const Parameter& b) { return a.number < b.number; });
    for (std::size_t i = 0; i < items_.size(); ++i) {
        if (items_[i].number < 1) {
            throw std::invalid_argument("item numbers start at 1");
        }
        if (i > 0 && items_[i].number == items_[i - 1].number) {
            throw std::invalid_argument("item " + std::to_string(items_[i].number) +
                                        " appears twice");
        }
    }
}

const Parameter* ParameterTable::Find(int number) const {
    auto it = std::lower_bound(items_.begin(), items_.end(), number,
                               [](const Parameter& p, int n) { return p.number < n; });
    return it != items_.end() && it->number == number ? &*it : nullptr;
}

Parameter* ParameterTable::Find(int number) {
    return const_cast<Parameter*>(std::as_const(*this).Find(number));
}

void ParameterTable::RestoreFactory() {
    for (auto& p : items_) {
        p.value = p.factory;
    }
}

std::string ParameterTable::Listing() const {
    std::string out;
    for (const auto& p : items_) {
        out += ListingLine(p.number, p.name, p.value);
    }
    return out;
}

std::string ParameterTable::ListingLine(int number, std::string_view name, std::string_view value) {
    return std::to_string(number) + ',' + std::string(name) + ',' + std::string(value) + "\r\n";
}

std::vector<ParamLine> ParseParamText(std::string_view text) {
    std::vector<ParamLine> lines;
    ForEachLine(text, [&lines](std::string_view line, int number) {
        if (line.empty() || line.front() == '#') {
            return;
        }
        auto fail = [number](const char* why) {
            throw std::runtime_error("line " + std::to_string(number) + ": " + why);
        };
        const auto c1 = line.find(',');
        const auto c2 = c1 == std::string_view::npos ? c1 : line.find(',', c1 + 1);
        if (c2 == std::string_view::npos) {
            fail("expected number,name,value");
        }
        ParamLine p;
        std::string_view num = line.substr(0, c1);
        auto [end, ec] = std::from_chars(num.data(), num.data() + num.size(), p.number);
        if (num.empty() || ec != std::errc() || end != num.data() + num.size() || p.number < 1) {
            fail("item number must be a positive integer");
        }
        p.name = std::string(line.substr(c1 + 1, c2 - c1 - 1));
        p.value = std::string(line.substr(c2 + 1));
        lines.push_back(std::move(p));
    });
    return lines;
}

std::string FormatParamText(const ParameterTable& table) {
    std::string out;
    for (const auto& p : table.Items()) {
        out += std::to_string(p.number) + ',' + p.name + ',' + p.value + '\n';
    }
    return out;
}

ParameterTable TableFromParamText(std::string_view text) {
    std::vector<Parameter> items;
    for (auto& line : ParseParamText(text)) {
        const std::size_t limit = std::max(kLoadedTextLimit, line.value.size());
        items.push_back(
            {line.number, std::move(line.name), line.value, line.value, Rule::Text(limit)});
    }
    return ParameterTable(std::move(items));
}

std::vector<std::string> ApplyState(ParameterTable& table, std::string_view text) {
    std::vector<std::string> warnings;
    for (const auto& line : ParseParamText(text)) {
        Parameter* p = table.Find(line.number);
        if (p == nullptr) {
            warnings.push_back("item " + std::to_string(line.number) +
                               " is not in the table; ignored");
        } else if (!p->rule.Accepts(line.value)) {
            warnings.push_back("item " + std::to_string(line.number) + " wants " +
                               p->rule.Describe() + "; kept the factory value");
        } else {
            p->value = line.value;
        }
    }
    return warnings;
}

std::string ReadTextFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error(path + ": " + std::strerror(errno));
    }
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace kavrelsim
