#include "protocol/ItemLabel.h"

namespace {

std::string Prefix(int number) {
    return std::to_string(number) + ". ";
}

}  // namespace

std::string ItemLabel(int number, std::string_view name) {
    std::string label = Prefix(number);
    label += name;
    return label;
}

std::string ItemLabelName(std::string_view label, int number) {
    const std::string prefix = Prefix(number);
    return std::string(label.substr(0, prefix.size()) == prefix ? label.substr(prefix.size())
                                                                : label);
}
