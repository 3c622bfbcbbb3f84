#include "app/core/CommandStrings.h"

#include "framework/StringTable.h"

namespace app {

CommandStrings LoadCommandStrings(fw::UINT command) {
    const std::string text = fw::LoadString(command);
    const std::size_t newline = text.find('\n');
    if (newline == std::string::npos) {
        return {text, std::string()};
    }
    return {text.substr(0, newline), text.substr(newline + 1)};
}

}  // namespace app
