// Judging what the device holds from several readings of its listing, some
// of them spoilt on the line.
#include "cli/ReadBack.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using cli::CheckItems;
using cli::ItemCheck;
using cli::ReadBack;
using cli::WantedItem;

Listing Reply(std::string_view text, bool ended = true) {
    return {ParseListing(text), ended};
}

constexpr std::string_view kClean =
    "AT+GETDV=0\r\r\n1,Mode,2\r\n2,APN,internet\r\n3,Port,6000\r\nOK\r\n";

TEST(ReadBack, AnItemIsKnownOnlyOnceTwoReadingsOfItAgree) {
    ReadBack readBack;
    readBack.Add(Reply("1,Mode,2\r\n2,APN,intfrnet\r\n3,Port,6000\r\n"));
    EXPECT_TRUE(readBack.Agreed().empty());
    // Item 2 spoilt differently, item 3 lost: 1 agrees, 2 and 3 are unknown.
    readBack.Add(Reply("1,Mode,2\r\n2,APN,internet\r\n", false));
    EXPECT_EQ(readBack.Agreed().size(), 1u);
    EXPECT_FALSE(readBack.Complete());
    readBack.Add(Reply(kClean));
    ASSERT_EQ(readBack.Agreed().size(), 3u);
    EXPECT_EQ(readBack.Agreed().at(2).value, "internet");
    EXPECT_TRUE(readBack.Complete());
}

TEST(ReadBack, AnItemSeenOnceKeepsTheReadingsIncompleteSoItsAbsenceProvesNothing) {
    ReadBack readBack;
    readBack.Add(Reply(kClean));
    // A spoilt digit turned item 3 into a 7 that no other reading has.
    readBack.Add(Reply("1,Mode,2\r\n2,APN,internet\r\n7,Port,6000\r\nOK\r\n"));
    EXPECT_FALSE(readBack.Complete());
    const std::vector<ItemCheck> checks =
        CheckItems({{0, "3. Port", "6000"}, {0, "9. Nothing", "x"}}, readBack);
    EXPECT_TRUE(checks[0].Unknown());
    EXPECT_TRUE(checks[1].Unknown());

    // Readings that end in OK and agree on every line do prove it.
    ReadBack whole;
    whole.Add(Reply(kClean));
    whole.Add(Reply(kClean));
    EXPECT_TRUE(CheckItems({{0, "9. Nothing", "x"}}, whole)[0].Unmatched());
}

TEST(ReadBack, RepliesThatNeverEndedNeverMakeTheReadingsComplete) {
    ReadBack readBack;
    readBack.Add(Reply(kClean, false));
    readBack.Add(Reply(kClean, false));
    EXPECT_EQ(readBack.Agreed().size(), 3u);
    EXPECT_FALSE(readBack.Complete());
}

TEST(ReadBack, ChecksFindItemsByNumberOrByTheFormsLabel) {
    ReadBack readBack;
    readBack.Add(Reply(kClean));
    readBack.Add(Reply(kClean));
    const std::vector<ItemCheck> checks = CheckItems({{0, "2. APN", "internet"},
                                                      {0, "2. apn", "internet"},
                                                      {3, "", "5000"},
                                                      {1, "", "2"},
                                                      {0, "APN", "internet"}},
                                                     readBack);
    EXPECT_TRUE(checks[0].Holds());
    EXPECT_TRUE(checks[1].Unmatched());  // case matters, as in Import
    EXPECT_TRUE(checks[2].Differs());
    EXPECT_EQ(checks[2].found->value, "6000");
    EXPECT_TRUE(checks[3].Holds());
    EXPECT_TRUE(checks[4].Unmatched());  // the key holds the item's number
}

TEST(ReadBack, ALineSpoiltIntoAnotherNumberDoesNotOutvoteTheRealOne) {
    ReadBack readBack;
    // "12,..." lost its "1" in both readings below the real item 2.
    readBack.Add(Reply("2,APN,internet\r\n2,Reconnect Count,0\r\nOK\r\n"));
    readBack.Add(Reply("2,APN,internet\r\n2,Reconnect Count,1\r\nOK\r\n"));
    ASSERT_EQ(readBack.Agreed().count(2), 1u);
    EXPECT_EQ(readBack.Agreed().at(2).value, "internet");
    // Should the spoilt line repeat too, item 2 cannot be told.
    readBack.Add(Reply("2,Reconnect Count,0\r\nOK\r\n"));
    EXPECT_EQ(readBack.Agreed().count(2), 0u);
    EXPECT_FALSE(readBack.Complete());
    EXPECT_TRUE(CheckItems({{2, "", "internet"}}, readBack)[0].Unknown());
    // Nor by the label it had while it was agreed.
    EXPECT_TRUE(CheckItems({{0, "2. APN", "internet"}}, readBack)[0].Unknown());
}

TEST(ProfileItems, AProfileOfManyKeysKeepsEachOnceInOrderWithItsLastValue) {
    std::string file = "[CFG]\r\n";
    for (int round = 0; round < 2; ++round) {
        for (int key = 20000; key > 0; --key) {
            file += std::to_string(key) + ". K=" + std::to_string(round) + "\r\n";
        }
    }
    const std::vector<WantedItem> items = cli::ProfileItems(file);
    ASSERT_EQ(items.size(), 20000u);
    EXPECT_EQ(items.front().label, "20000. K");
    EXPECT_EQ(items.back().label, "1. K");
    EXPECT_TRUE(std::all_of(items.begin(), items.end(),
                            [](const WantedItem& item) { return item.value == "1"; }));
}

TEST(ProfileItems, TakesEveryKeyOnceWithItsLastValueInFileOrder) {
    const std::vector<WantedItem> items = cli::ProfileItems(
        "[CFG]\r\n2. APN=a\r\nno equals sign\n1. Mode=x=y\r\n2. APN=b\r\n3. Port =7\r\n4. Id=");
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[0].label, "2. APN");
    EXPECT_EQ(items[0].value, "b");
    EXPECT_EQ(items[1].value, "x=y");
    EXPECT_EQ(items[2].label, "3. Port ");  // the blank belongs to the key
    EXPECT_EQ(items[3].value, "");
}

TEST(ParseListing, StopsAtAZeroByteAndIgnoresAnUnfinishedLastLine) {
    const std::string reply("1,A,x,y\r\n61,B,1\r\n2,C,\0\r\n3,D,4\r\n", 31);
    const std::vector<ListedItem> items = ParseListing(reply);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].value, "x,y");
    EXPECT_EQ(ParseListing("1,A,1\r\n2,B,2").size(), 1u);
}

}  // namespace
