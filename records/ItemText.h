// The readable copy the stores keep beside each device text: its bytes
// decoded by the code page the record names. The bytes stay the record; this
// is only for people reading the tables.
#pragma once

#include <optional>
#include <string>

#include "framework/Language.h"

namespace records {

class ItemText {
public:
    // "GB18030" or "CP1252" (fw::CodePageName); anything else reads as CP1252.
    explicit ItemText(const std::string& codePage);

    std::string Decode(const std::string& bytes) const;
    // Empty for an unknown value: the store keeps NULL for it.
    std::string Decode(const std::optional<std::string>& bytes) const;

private:
    fw::Language language_;
};

// The code page device bytes are read in, by the interface language.
std::string CodePageOf(fw::Language language);

}  // namespace records
