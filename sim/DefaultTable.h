// The factory configuration of a Kavrel cellular DTU.
#pragma once

#include <string>
#include <string_view>

#include "ParameterTable.h"

namespace kavrelsim {

enum class Language { kEnglish, kChinese };

// Items 1..40. Chinese devices send the same table with Chinese names in
// GB18030; values are identical in both.
ParameterTable DefaultTable(Language language);

// Throws std::runtime_error when the text cannot be converted.
std::string Utf8ToGb18030(std::string_view utf8);

}  // namespace kavrelsim
