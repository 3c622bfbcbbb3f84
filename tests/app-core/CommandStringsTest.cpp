#include <gtest/gtest.h>

#include "LanguageForTheTest.h"
#include "app/core/CommandStrings.h"
#include "res/ResourceIds.h"

namespace {

TEST(CommandStrings, ThePromptComesBeforeTheFirstNewlineAndTheTipAfterIt) {
    testsupport::EnglishForTheTest english;
    const app::CommandStrings about = app::LoadCommandStrings(res::ID_APP_ABOUT);
    EXPECT_EQ(about.prompt, "Display program information, version number and copyright");
    EXPECT_EQ(about.toolTip, "About");
    // A string without a tooltip part is all prompt.
    const app::CommandStrings idle = app::LoadCommandStrings(res::IDS_IDLE_MESSAGE);
    EXPECT_EQ(idle.prompt, "Ready");
    EXPECT_EQ(idle.toolTip, "");
}

}  // namespace
