// The label the form gives an item, "N. name": the key a profile names the
// item by, and what tirvelctl shows and matches. The name is device bytes.
#pragma once

#include <string>
#include <string_view>

std::string ItemLabel(int number, std::string_view name);

// The name back out of a label of that number; a label that does not start
// with the number is returned whole.
std::string ItemLabelName(std::string_view label, int number);
