// The checks an option's value gets wherever the operator gives it: on
// tirvelctl's line, on the desktops' lines and in the station window's form.
// One check and one message for one value, whichever program reads it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "framework/Language.h"

namespace job {

// Devices in a batch, seconds of a log: a billion is beyond any shift.
inline constexpr int kMaxCount = 999999999;

// A count as typed: plain decimal from 1 to kMaxCount. The option parser
// would take "010" as octal (COM8, eight devices) and "0x10" as hex: on a
// line with several adapters that works another port than the operator named.
std::optional<int> ParseCount(std::string_view text);

// Why `text` is no count for `option`; empty when it is one.
std::string CountRefusal(std::string_view option, std::string_view text,
                         fw::Language language = fw::CurrentLanguage());

// Why --lang's value names no language of the program; empty when it names one.
std::string LanguageRefusal(std::string_view value, fw::Language language = fw::CurrentLanguage());

// Why a records setting (--records, the form's field, TIRVEL_RECORDS) is
// refused, naming it as `named`: the value, or where it came from.
std::string RecordsSettingRefusal(const std::string& named,
                                  fw::Language language = fw::CurrentLanguage());

}  // namespace job
