// What every dialog template of the resources starts with.
#pragma once

#include "common/DialogTemplate.h"
#include "common/LanguageId.h"

namespace res {

// The template's ID, caption and size (dialog units), in the language's own
// dialog font: SimSun for Chinese, as the Chinese resources have always had it.
inline fw::DialogTemplate NewTemplate(fw::UINT id, fw::Language language, const char* english,
                                      const char* chinese, int width, int height) {
    const bool zh = language == fw::Language::Chinese;
    fw::DialogTemplate t;
    t.id = id;
    t.caption = zh ? chinese : english;
    t.fontFace = zh ? "宋体" : "MS Sans Serif";
    t.width = width;
    t.height = height;
    return t;
}

}  // namespace res
