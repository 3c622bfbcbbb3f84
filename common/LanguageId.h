// The languages every user-visible text exists in; the resources come in
// each, and the window layer picks one.
#pragma once

namespace fw {

enum class Language { English, Chinese };

}  // namespace fw
