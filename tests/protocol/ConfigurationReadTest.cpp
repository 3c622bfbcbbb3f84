#include <gtest/gtest.h>

#include "Peer.h"
#include "ScriptedWindow.h"
#include "form/ControlIds.h"
#include "form/Tirvel2View.h"
#include "protocol/AtExchange.h"

using namespace std::chrono_literals;
using testsupport::Peer;
using testsupport::PseudoTerminal;

namespace {

class ConfigurationLines : public ::testing::Test {
protected:
    void SetUp() override {
        g_nItemCount = 0;
        SetDeviceEchoes(false);
        view_.ResetItemLabels();
        view_.ShowItemRows(fw::SW_HIDE);
    }

    void Parse(std::string line) {
        std::vector<char> buffer(line.begin(), line.end());
        buffer.push_back('\0');
        view_.ParseConfigurationLine(buffer.data());
    }

    fw::CMessageLoop loop_;
    CTirvel2View view_;
    testsupport::ScriptedWindow window_{loop_, view_, res::IDD_TIRVEL2_FORM, fw::Language::English};
};

TEST_F(ConfigurationLines, AcceptedLineFillsItsRowAndShowsIt) {
    Parse("12,abc,10.0.0.1");
    EXPECT_EQ(view_.GetItemLabel(12), "12. abc");
    EXPECT_EQ(view_.GetItemCurrentValue(12), "10.0.0.1");
    EXPECT_EQ(g_nItemCount, 12);
    for (int id : ItemRowControls(12)) {
        EXPECT_TRUE(window_.Visible(id));
    }
    EXPECT_FALSE(window_.Visible(ItemLabelId(11)));
}

TEST_F(ConfigurationLines, MalformedLinesAreIgnored) {
    for (const char* line : {"0,zero,v", "-3,neg,v", "abc,name,v", ",name,v", "5,only-one-comma",
                             "", "OK", "AT+GETDV=0\r", "61,beyond,v", "99999999999999,huge,v"}) {
        Parse(line);
    }
    EXPECT_EQ(g_nItemCount, 0);
    for (int n = 1; n <= 60; ++n) {
        EXPECT_EQ(view_.GetItemLabel(n), std::to_string(n) + ". Item" + std::to_string(n));
        EXPECT_EQ(view_.GetItemCurrentValue(n), "");
    }
}

TEST_F(ConfigurationLines, NumberIsReadTheWayAtoiReadsIt) {
    Parse("  +7x,name,v");
    EXPECT_EQ(view_.GetItemLabel(7), "7. name");
    EXPECT_EQ(g_nItemCount, 7);
}

TEST_F(ConfigurationLines, ExtraCommasBelongToTheValue) {
    Parse("7,name,a,b,,c");
    EXPECT_EQ(view_.GetItemLabel(7), "7. name");
    EXPECT_EQ(view_.GetItemCurrentValue(7), "a,b,,c");
    Parse("8,empty,");
    EXPECT_EQ(view_.GetItemLabel(8), "8. empty");
    EXPECT_EQ(view_.GetItemCurrentValue(8), "");
    Parse("9,,v");
    EXPECT_EQ(view_.GetItemLabel(9), "9. ");
}

// A device may list its items in any order: the count is the highest one, so
// that Modify, Export and the automatic tick reach them all.
TEST_F(ConfigurationLines, ItemCountIsTheHighestAcceptedLine) {
    Parse("40,a,1");
    Parse("3,b,2");
    Parse("70,c,3");
    EXPECT_EQ(g_nItemCount, 40);
}

class ConfigurationRead : public ConfigurationLines {
protected:
    void SetUp() override {
        ConfigurationLines::SetUp();
        view_.m_hComPort = testsupport::OpenAtPort(pty_);
        ASSERT_NE(view_.m_hComPort, INVALID_HANDLE_VALUE);
    }
    void TearDown() override {
        if (view_.m_hComPort != INVALID_HANDLE_VALUE) {
            CloseComPort(view_.m_hComPort);
        }
    }

    bool Read(std::vector<testsupport::Step> steps) {
        Peer peer(pty_, "AT+GETDV=0\r", std::move(steps));
        bool ok = view_.ReadDeviceConfiguration();
        EXPECT_EQ(peer.Received(), "AT+GETDV=0\r");
        return ok;
    }

    PseudoTerminal pty_;
};

TEST_F(ConfigurationRead, FillsTheTableAndTheForm) {
    view_.SetItemCurrentValue(50, "kept");
    ASSERT_TRUE(Read({{0ms, "AT+GETDV=0\r\r\n1,Mode,1\r\n2,Server,10.0.0.1\r\n"},
                      {50ms, "3,Port,5000\r\nOK\r\n"}}));
    EXPECT_EQ(g_nItemCount, 3);
    EXPECT_EQ(window_.Text(ItemLabelId(2)), "2. Server");
    EXPECT_EQ(window_.Text(ItemCurrentId(3)), "5000");
    // Items the reply does not mention keep what they had.
    EXPECT_EQ(view_.GetItemCurrentValue(50), "kept");
    EXPECT_EQ(view_.GetItemLabel(50), "50. Item50");
    EXPECT_TRUE(window_.MessageBoxes().empty());
}

// Values may hold the protocol's own words; only the listing's own last line
// ends it, however the reads split it.
TEST_F(ConfigurationRead, ValuesHoldingProtocolWordsAreReadWhole) {
    ASSERT_TRUE(Read({{0ms, "1,Mode,1\r\n2,Reply,LINK OK\r\n"},
                      {100ms, "3,Log,NO ERROR LOG\r\n4,State,OK\r\n"},
                      {100ms, "5,Port,5000\r\nOK\r\n"}}));
    EXPECT_EQ(view_.GetItemCurrentValue(2), "LINK OK");
    EXPECT_EQ(view_.GetItemCurrentValue(3), "NO ERROR LOG");
    EXPECT_EQ(view_.GetItemCurrentValue(4), "OK");
    EXPECT_EQ(view_.GetItemCurrentValue(5), "5000");
    EXPECT_EQ(g_nItemCount, 5);
}

TEST_F(ConfigurationRead, ItemsListedInAnotherOrderAreAllCounted) {
    ASSERT_TRUE(Read({{0ms, "3,Port,5000\r\n1,Mode,1\r\n2,Server,10.0.0.1\r\nOK\r\n"}}));
    EXPECT_EQ(g_nItemCount, 3);
    EXPECT_EQ(view_.GetItemLabel(3), "3. Port");
}

TEST_F(ConfigurationRead, TextAfterTheLastLineEndIsNotParsed) {
    ASSERT_TRUE(Read({{0ms, "1,Mode,1\r\nOK\r\n4,Partial,x"}}));
    EXPECT_EQ(g_nItemCount, 1);
}

// A device always has items: an OK with none before it is a line of its own,
// and the read, asked once more and unanswered, fails.
TEST_F(ConfigurationRead, AnOkWithNoItemsIsNoListing) {
    EXPECT_FALSE(Read({{0ms, "OK\r\n"}}));
    EXPECT_EQ(view_.m_hComPort, INVALID_HANDLE_VALUE);
    EXPECT_EQ(window_.MessageBoxTexts(), std::vector<fw::UINT>{res::IDS_READ_CONFIG_FAILED});
    EXPECT_FALSE(view_.IsItemListed(1));
}

TEST_F(ConfigurationRead, ErrorLineFailsTheRead) {
    EXPECT_FALSE(Read({{0ms, "1,Mode,1\r\nERROR\r\n"}}));
    EXPECT_EQ(view_.m_hComPort, INVALID_HANDLE_VALUE);
    ASSERT_EQ(window_.MessageBoxTexts(), std::vector<fw::UINT>{res::IDS_READ_CONFIG_FAILED});
    EXPECT_EQ(window_.MessageBoxes()[0].captionId, fw::AFX_IDS_APP_TITLE);
    EXPECT_EQ(window_.MessageBoxes()[0].type, fw::MB_OK | fw::MB_ICONINFORMATION);
    EXPECT_FALSE(pty_.SlaveIsOpen());
}

TEST_F(ConfigurationRead, SilentDeviceFailsTheRead) {
    EXPECT_FALSE(Read({}));
    EXPECT_EQ(view_.m_hComPort, INVALID_HANDLE_VALUE);
    EXPECT_EQ(window_.MessageBoxTexts(), std::vector<fw::UINT>{res::IDS_READ_CONFIG_FAILED});
}

}  // namespace
