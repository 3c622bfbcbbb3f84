#include "records/ItemText.h"

#include "framework/CodePage.h"

namespace records {

ItemText::ItemText(const std::string& codePage)
    : language_(codePage == fw::CodePageName(fw::Language::Chinese) ? fw::Language::Chinese
                                                                    : fw::Language::English) {}

std::string ItemText::Decode(const std::string& bytes) const {
    return fw::DecodeCodePage(bytes, language_);
}

std::string ItemText::Decode(const std::optional<std::string>& bytes) const {
    return bytes ? Decode(*bytes) : std::string();
}

std::string CodePageOf(fw::Language language) {
    return fw::CodePageName(language);
}

}  // namespace records
