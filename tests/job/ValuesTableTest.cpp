// The values table as a batch reads it: found by IMEI, checked whole, each
// refusal naming its line.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <variant>

#include "LanguageForTheTest.h"
#include "job/ValuesTable.h"

namespace {

using fw::Language;

std::variant<job::ValuesTable, std::string> Parse(const std::string& bytes,
                                                  Language language = Language::English) {
    return job::ParseValuesTable(bytes, "v.csv", language);
}

TEST(ValuesTable, FindsEachDevicesRowWithItsCellsAsWritten) {
    const auto parsed = Parse(
        "Imei,2. APN,28\r\n"
        "860000000001001,\"a,b\",17\r\n"
        "860000000002001,\"say \"\"hi\"\"\",\"\"\n"
        "860000000003001,{imei:-4},00{{x}}\n");
    ASSERT_TRUE(std::holds_alternative<job::ValuesTable>(parsed)) << std::get<std::string>(parsed);
    const auto& table = std::get<job::ValuesTable>(parsed);
    ASSERT_EQ(table.Columns().size(), 2u);
    EXPECT_EQ(table.Columns()[0].number, 2);
    EXPECT_EQ(table.Columns()[0].label, "2. APN");
    EXPECT_EQ(table.Columns()[1].number, 28);
    EXPECT_EQ(table.Columns()[1].label, "");
    EXPECT_EQ(table.RowCount(), 3u);
    const std::optional<job::ValuesRow> second = table.Find("860000000002001");
    ASSERT_TRUE(second);
    EXPECT_EQ(second->line, 3u);
    EXPECT_EQ(second->Values(), (std::vector<std::string>{"say \"hi\"", ""}));
    EXPECT_EQ(table.Find("860000000001001")->Value(0), "a,b");
    EXPECT_EQ(table.Find("860000000003001")->Value(0), "{imei:-4}");
    EXPECT_FALSE(table.Find("860000000009001"));
}

// The cells are kept one after another, each known by where it ends: an
// empty one ends where the one before it does.
TEST(ValuesTable, EmptyCellsAndALastRowWithoutItsLineEndAreCellsLikeAnyOther) {
    const auto parsed = Parse(
        "IMEI,2. APN,28,14\n"
        "860000000001001,,,\r\n"
        "860000000002001,a,,c\n"
        "860000000003001,,b,");
    ASSERT_TRUE(std::holds_alternative<job::ValuesTable>(parsed)) << std::get<std::string>(parsed);
    const auto& table = std::get<job::ValuesTable>(parsed);
    ASSERT_EQ(table.RowCount(), 3u);
    EXPECT_EQ(table.Row(0).Values(), (std::vector<std::string>{"", "", ""}));
    EXPECT_EQ(table.Row(1).Values(), (std::vector<std::string>{"a", "", "c"}));
    EXPECT_EQ(table.Row(2).line, 4u);
    EXPECT_EQ(table.Row(2).Values(), (std::vector<std::string>{"", "b", ""}));
    EXPECT_EQ(table.Find("860000000003001")->Value(1), "b");
}

TEST(ValuesTable, AHeaderAloneIsATableOfNoRows) {
    for (const std::string bytes : {"IMEI,2. APN,28\n", "IMEI,2. APN,28"}) {
        const auto parsed = Parse(bytes);
        ASSERT_TRUE(std::holds_alternative<job::ValuesTable>(parsed))
            << std::get<std::string>(parsed);
        EXPECT_EQ(std::get<job::ValuesTable>(parsed).RowCount(), 0u);
        EXPECT_FALSE(std::get<job::ValuesTable>(parsed).Find("860000000001001"));
    }
    // No column but the IMEI: rows of no cell, found all the same.
    const auto imeis = Parse("IMEI\n860000000001001\n860000000002001\n");
    ASSERT_TRUE(std::holds_alternative<job::ValuesTable>(imeis)) << std::get<std::string>(imeis);
    EXPECT_EQ(std::get<job::ValuesTable>(imeis).RowCount(), 2u);
    EXPECT_EQ(std::get<job::ValuesTable>(imeis).Find("860000000002001")->line, 3u);
    EXPECT_TRUE(std::get<job::ValuesTable>(imeis).Find("860000000002001")->Values().empty());
}

TEST(ValuesTable, APoolsTableHasNoImeiColumnAndIsCheckedAlike) {
    const auto parsed = job::ParseValuesTable("2. APN,28\nnet1,17\n\"a,b\",18\n", "p.csv",
                                              Language::English, job::ImeiColumn::None);
    ASSERT_TRUE(std::holds_alternative<job::ValuesTable>(parsed)) << std::get<std::string>(parsed);
    const auto& table = std::get<job::ValuesTable>(parsed);
    ASSERT_EQ(table.Columns().size(), 2u);
    ASSERT_EQ(table.RowCount(), 2u);
    EXPECT_EQ(table.Row(1).line, 3u);
    EXPECT_EQ(table.Row(1).Values(), (std::vector<std::string>{"a,b", "18"}));
    const auto refused = job::ParseValuesTable("2. APN\nnet1,17\n", "p.csv", Language::English,
                                               job::ImeiColumn::None);
    ASSERT_TRUE(std::holds_alternative<std::string>(refused));
    EXPECT_NE(std::get<std::string>(refused).find("p.csv line 2"), std::string::npos);
}

struct Malformed {
    const char* what;
    std::string bytes;
    const char* refusal;
};

class MalformedTable : public ::testing::TestWithParam<Malformed> {};

TEST_P(MalformedTable, IsRefusedNamingTheLine) {
    testsupport::EnglishForTheTest english;
    const auto parsed = Parse(GetParam().bytes);
    ASSERT_TRUE(std::holds_alternative<std::string>(parsed));
    EXPECT_EQ(std::get<std::string>(parsed), GetParam().refusal);
}

const std::string kHeader = "IMEI,2. APN\n";

INSTANTIATE_TEST_SUITE_P(
    Refusals, MalformedTable,
    ::testing::Values(
        Malformed{"empty", "",
                  "v.csv line 1: the table's first row is its header, and its first column is "
                  "IMEI."},
        Malformed{"imei not first", "2. APN,IMEI\n",
                  "v.csv line 1: the table's first row is its header, and its first column is "
                  "IMEI."},
        Malformed{"no item", "IMEI,APN\n",
                  "v.csv line 1: the column \"APN\" names no item: write a key \"N. name\" as a "
                  "profile does, or a number from 1 to 60."},
        Malformed{"beyond 60", "IMEI,61\n",
                  "v.csv line 1: the column \"61\" names no item: write a key \"N. name\" as a "
                  "profile does, or a number from 1 to 60."},
        Malformed{"duplicate column", "IMEI,2. APN,2\n",
                  "v.csv line 1: the column \"2\" names item 2, which an earlier column names "
                  "already."},
        Malformed{"duplicate imei", kHeader + "860000000001001,a\n860000000001001,b\n",
                  "v.csv line 3: IMEI 860000000001001 has a row already, on line 2."},
        // IMEIs given twice are found once all rows are read: the refusal is
        // still of the first such row in the file, and comes before any
        // fault further on, but not before one earlier.
        Malformed{"duplicate before a fault",
                  kHeader + "860000000001001,a\n860000000001001,b\n860000000002001,{x}\n",
                  "v.csv line 3: IMEI 860000000001001 has a row already, on line 2."},
        Malformed{"fault before a duplicate",
                  kHeader + "860000000001001,a\n86000000000200,b\n860000000001001,c\n",
                  "v.csv line 3: \"86000000000200\" is not an IMEI of 15 digits."},
        Malformed{"first duplicate in the file",
                  kHeader + "860000000009001,a\n860000000001001,b\n860000000009001,c\n"
                            "860000000001001,d\n860000000009001,e\n",
                  "v.csv line 4: IMEI 860000000009001 has a row already, on line 2."},
        Malformed{"duplicate with leading zeros",
                  kHeader + "012345678901234,a\n012345678901234,b\n",
                  "v.csv line 3: IMEI 012345678901234 has a row already, on line 2."},
        Malformed{"short imei", kHeader + "86000000000100,a\n",
                  "v.csv line 2: \"86000000000100\" is not an IMEI of 15 digits."},
        Malformed{"empty row", kHeader + "860000000001001,a\n\n860000000002001,b\n",
                  "v.csv line 3: the row is empty."},
        Malformed{"cells", kHeader + "860000000001001,a,b\n",
                  "v.csv line 2: the row has 3 cells, the header 2."},
        Malformed{"quote inside", kHeader + "860000000001001,a\"b\n",
                  "v.csv line 2: a quote is out of place (a quoted cell is \"...\", with \"\" "
                  "for a quote inside it)."},
        Malformed{"after quote", kHeader + "860000000001001,\"a\"b\n",
                  "v.csv line 2: a quote is out of place (a quoted cell is \"...\", with \"\" "
                  "for a quote inside it)."},
        Malformed{"unclosed", kHeader + "860000000001001,\"ab",
                  "v.csv line 2: a quote is out of place (a quoted cell is \"...\", with \"\" "
                  "for a quote inside it)."},
        Malformed{"break in quotes", kHeader + "860000000001001,\"a\nb\"\n",
                  "v.csv line 2: a cell holds a line break or a zero byte, which no value can "
                  "hold."},
        Malformed{"lone CR", kHeader + "860000000001001,a\rb\n",
                  "v.csv line 2: a cell holds a line break or a zero byte, which no value can "
                  "hold."},
        Malformed{"NUL", kHeader + std::string("860000000001001,a\0b\n", 20),
                  "v.csv line 2: a cell holds a line break or a zero byte, which no value can "
                  "hold."},
        Malformed{"pattern", kHeader + "860000000001001,ok\n860000000002001,{serial}\n",
                  "v.csv line 3: the value of \"2. APN\" holds \"{serial}\", which is no pattern "
                  "({imei}, {imei:-N}, {version}); write a brace meant as text twice: {{ or }}."},
        Malformed{"undefined in 1252", kHeader + "860000000001001,ok\n860000000002001,a\x81\n",
                  "v.csv line 3: bytes that are not CP1252 text, the device's code page."},
        Malformed{"not carried", "\xEF\xBB\xBF" + kHeader + "860000000001001,\xE4\xB8\xAD\n",
                  "v.csv line 2: a character the device's code page CP1252 cannot carry."}),
    [](const auto& info) {
        std::string name = info.param.what;
        for (char& c : name) {
            c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
        }
        return name;
    });

TEST(ValuesTable, IsTheDevicesCodePageOrUtf8AfterAByteOrderMark) {
    // "中" in GB18030 and in UTF-8; "é" in Windows-1252 and in UTF-8.
    const auto gb = Parse(kHeader + "860000000001001,\xD6\xD0\n", Language::Chinese);
    ASSERT_TRUE(std::holds_alternative<job::ValuesTable>(gb)) << std::get<std::string>(gb);
    EXPECT_EQ(std::get<job::ValuesTable>(gb).Find("860000000001001")->Value(0), "\xD6\xD0");
    const auto bom =
        Parse("\xEF\xBB\xBF" + kHeader + "860000000001001,\xE4\xB8\xAD\n", Language::Chinese);
    ASSERT_TRUE(std::holds_alternative<job::ValuesTable>(bom)) << std::get<std::string>(bom);
    EXPECT_EQ(std::get<job::ValuesTable>(bom).Find("860000000001001")->Value(0), "\xD6\xD0");
    // A byte-order mark before ASCII alone: the same bytes, after the mark.
    const auto ascii = Parse("\xEF\xBB\xBF" + kHeader + "860000000001001,abc\n");
    ASSERT_TRUE(std::holds_alternative<job::ValuesTable>(ascii)) << std::get<std::string>(ascii);
    EXPECT_EQ(std::get<job::ValuesTable>(ascii).Find("860000000001001")->Value(0), "abc");
    const auto latin = Parse("\xEF\xBB\xBF" + kHeader + "860000000001001,\xC3\xA9\n");
    ASSERT_TRUE(std::holds_alternative<job::ValuesTable>(latin));
    EXPECT_EQ(std::get<job::ValuesTable>(latin).Find("860000000001001")->Value(0), "\xE9");
    // A GB18030 lead byte with nothing after it is no character.
    EXPECT_TRUE(std::holds_alternative<std::string>(
        Parse(kHeader + "860000000001001,\xD6\n", Language::Chinese)));
}

TEST(ValuesTable, AProfilesBracesAreCheckedNamingTheKeyAndTheLine) {
    testsupport::EnglishForTheTest english;
    EXPECT_EQ(job::ProfilePatternRefusal("[CFG]\r\n2. APN={imei}\r\n", "p.txt"), "");
    // A key that names no item is never imported: its value is nobody's.
    EXPECT_EQ(job::ProfilePatternRefusal("[{x}]\r\nstray=}{\r\n", "p.txt"), "");
    EXPECT_EQ(
        job::ProfilePatternRefusal("[CFG]\r\n2. APN=ok\r\n14. Register Data={id}\r\n", "p.txt"),
        "p.txt line 3: the value of \"14. Register Data\" holds \"{id}\", which is no "
        "pattern ({imei}, {imei:-N}, {version}); write a brace meant as text twice: {{ or "
        "}}.");
}

}  // namespace
