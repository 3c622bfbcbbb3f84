#include <gtest/gtest.h>

#include "form/MainFrame.h"
#include "form/Tirvel2View.h"
#include "res/ResourceIds.h"

namespace {

TEST(MainFrame, CommandEnablingFollowsTheConnectionState) {
    using namespace res;
    const fw::UINT commands[] = {
        ID_START_CONFIG,    ID_STOP_CONFIG,     ID_MODIFY,          ID_RESTORE,   ID_SETTINGS,
        ID_UPDATE_FIRMWARE, ID_SELECT_FIRMWARE, ID_SHOW_DEBUG_INFO, ID_APP_ABOUT, ID_APP_EXIT};
    // One row per state 0..5, one column per command above.
    const bool expected[6][10] = {
        {1, 0, 0, 0, 1, 1, 1, 1, 1, 1},  // Idle
        {0, 1, 0, 0, 0, 0, 0, 0, 1, 1},  // Connecting
        {0, 1, 1, 1, 0, 0, 0, 0, 1, 1},  // Connected
        {0, 1, 0, 0, 0, 0, 0, 0, 0, 1},  // awaiting the boot loader
        {0, 1, 0, 0, 0, 0, 0, 0, 0, 1},  // loader dialogue (the frame is never told)
        {0, 1, 0, 0, 0, 0, 0, 0, 0, 1},  // debug log
    };
    CMainFrame frame;
    for (int state = 0; state < 6; ++state) {
        frame.SetConnectionState(state);
        for (int c = 0; c < 10; ++c) {
            EXPECT_EQ(frame.IsCommandEnabled(commands[c]), expected[state][c])
                << "state " << state << " command " << commands[c];
        }
    }
    EXPECT_FALSE(frame.IsCommandEnabled(12345));
}

TEST(MainFrame, TheViewReportsEveryStateButTheLoaderDialogue) {
    CMainFrame frame;
    AfxSetMainFrame(&frame);
    CTirvel2View view;
    view.SetConnectionState(kStateAwaitingLoader);
    view.SetConnectionState(kStateLoaderDialogue);
    EXPECT_EQ(frame.ConnectionState(), kStateAwaitingLoader);
    view.SetConnectionState(kStateIdle);
    EXPECT_EQ(frame.ConnectionState(), kStateIdle);
    AfxSetMainFrame(nullptr);
}

}  // namespace
