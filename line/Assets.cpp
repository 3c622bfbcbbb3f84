#include "line/Assets.h"

#include <cstddef>

namespace line {

// Made at build time from line/web/ (AssetTable.cpp in the build tree).
extern const Asset kAssets[];
extern const std::size_t kAssetCount;

const Asset* FindAsset(std::string_view path) {
    // A query belongs to the page, not to the file.
    if (const auto query = path.find('?'); query != std::string_view::npos) {
        path = path.substr(0, query);
    }
    for (std::size_t i = 0; i < kAssetCount; ++i) {
        if (kAssets[i].path == path) {
            return &kAssets[i];
        }
    }
    return nullptr;
}

}  // namespace line
