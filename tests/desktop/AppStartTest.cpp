// The desktop program itself, started as a start-up bench starts it.
#include <gtest/gtest.h>

#include <chrono>

#include "ChildProcess.h"
#include "ProgramStateTest.h"
#include "TempDir.h"
#include "TestFiles.h"
#include "app/core/CommandLine.h"

namespace {

class AppStart : public testsupport::ProgramStateTest {};

// The bench's clock stops at the line, so it must come only once the window
// has painted, and then the program must still close by itself.
TEST_F(AppStart, QuitAfterStartSaysFirstPaintOnceAndEnds) {
    testsupport::TempDir dir;
    SetEnv("XDG_CONFIG_HOME", dir.Path().string());
    SetEnv("QT_QPA_PLATFORM", "offscreen");
    testsupport::ChildProcess app(TIRVEL_APP_BIN, {"--quit-after-start"}, dir.Path() / "out",
                                  dir.Path() / "err");
    ASSERT_EQ(app.Wait(std::chrono::seconds(60)), 0) << testsupport::ReadFile(dir.Path() / "err");
    EXPECT_EQ(testsupport::ReadFile(dir.Path() / "out"), std::string(app::kFirstPaintLine) + "\n");
}

}  // namespace
