#include "serial/PresentPorts.h"

#include <algorithm>
#include <cstddef>
#include <string_view>

namespace serial {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

bool NaturalLess(const std::string& a, const std::string& b) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (!IsDigit(a[i]) || !IsDigit(b[j])) {
            if (a[i] != b[j]) {
                return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
            }
            ++i;
            ++j;
            continue;
        }
        // Two runs of digits: the shorter one without its leading zeros is the smaller number.
        const std::size_t aStart = i;
        const std::size_t bStart = j;
        while (i < a.size() && IsDigit(a[i])) {
            ++i;
        }
        while (j < b.size() && IsDigit(b[j])) {
            ++j;
        }
        std::string_view aRun(a.data() + aStart, i - aStart);
        std::string_view bRun(b.data() + bStart, j - bStart);
        aRun.remove_prefix(std::min(aRun.find_first_not_of('0'), aRun.size()));
        bRun.remove_prefix(std::min(bRun.find_first_not_of('0'), bRun.size()));
        if (aRun.size() != bRun.size()) {
            return aRun.size() < bRun.size();
        }
        if (aRun != bRun) {
            return aRun < bRun;
        }
    }
    return a.size() - i < b.size() - j;
}

std::vector<PresentPort> PortsFromComNames(const std::vector<std::string>& names) {
    std::vector<int> numbers;
    for (const std::string& name : names) {
        if (const int number = ParseComNumber(name); number > 0) {
            numbers.push_back(number);
        }
    }
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    std::vector<PresentPort> ports;
    ports.reserve(numbers.size());
    for (int number : numbers) {
        ports.push_back({"COM" + std::to_string(number), number});
    }
    return ports;
}

}  // namespace serial
