#include "ParameterTable.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>

#include "DefaultTable.h"
#include "OutputFile.h"

namespace kavrelsim {
namespace {

TEST(KavrelsimRule, AddressesAndHostNames) {
    for (const char* ok : {"0.0.0.0", "192.168.1.1", "255.255.255.255"}) {
        EXPECT_TRUE(IsIpv4(ok)) << ok;
    }
    for (const char* bad : {"256.1.1.1", "1.2.3", "1.2.3.4.5", "1..2.3", "1.2.3.", "a.b.c.d",
                            "1.2.3.4 ", "", "1234.1.1.1"}) {
        EXPECT_FALSE(IsIpv4(bad)) << bad;
    }
    for (const char* ok : {"example.com", "a", "dtu-01.example.org", "localhost", "x.y.z."}) {
        EXPECT_TRUE(IsHostName(ok)) << ok;
    }
    for (const char* bad :
         {"-a.com", "a-.com", "a..com", "a_b.com", "1.2.3.999", "ex ample.com", ".com", ""}) {
        EXPECT_FALSE(IsHostName(bad)) << bad;
    }
    EXPECT_FALSE(IsHostName(std::string(64, 'a') + ".com"));  // label too long
}

TEST(KavrelsimRule, Limits) {
    auto port = Rule::Integer(1, 65535);
    EXPECT_TRUE(port.Accepts("1"));
    EXPECT_TRUE(port.Accepts("65535"));
    EXPECT_FALSE(port.Accepts("-1"));
    EXPECT_FALSE(port.Accepts("+5"));
    EXPECT_FALSE(port.Accepts("99999999999999999999999"));
    auto zone = Rule::Integer(-12, 14);
    EXPECT_TRUE(zone.Accepts("-12"));
    EXPECT_FALSE(zone.Accepts("-13"));
    EXPECT_FALSE(zone.Accepts("-"));

    auto text = Rule::Text(4);
    EXPECT_TRUE(text.Accepts(""));
    EXPECT_TRUE(text.Accepts("a,b,"));
    EXPECT_FALSE(text.Accepts("abcde"));
    EXPECT_FALSE(text.Accepts("a\nb"));
    EXPECT_FALSE(text.Accepts("a\x7F"));
    EXPECT_TRUE(text.Accepts("\xB9\xA4"));

    auto phone = Rule::Digits(0, 5, true);
    EXPECT_TRUE(phone.Accepts(""));
    EXPECT_TRUE(phone.Accepts("+12345"));
    EXPECT_FALSE(phone.Accepts("+"));
    EXPECT_FALSE(phone.Accepts("123456"));
    EXPECT_FALSE(Rule::Digits(1, 5, false).Accepts("+1"));

    auto host = Rule::Host(10, false);
    EXPECT_FALSE(host.Accepts("abcdefghijk"));
    EXPECT_FALSE(host.Accepts(""));
    EXPECT_TRUE(Rule::Host(10, true).Accepts(""));
}

TEST(KavrelsimDefaultTable, RealisticAndSelfConsistent) {
    ParameterTable table = DefaultTable(Language::kEnglish);
    const auto& items = table.Items();
    ASSERT_GE(items.size(), 35u);
    for (std::size_t i = 0; i < items.size(); ++i) {
        EXPECT_EQ(items[i].number, static_cast<int>(i) + 1);
        EXPECT_TRUE(items[i].rule.Accepts(items[i].factory)) << items[i].name;
        EXPECT_EQ(items[i].value, items[i].factory);
    }
}

TEST(KavrelsimDefaultTable, ChineseNamesTravelAsGb18030) {
    ParameterTable en = DefaultTable(Language::kEnglish);
    ParameterTable zh = DefaultTable(Language::kChinese);
    ASSERT_EQ(zh.Items().size(), en.Items().size());
    // 工作模式 in GB18030.
    EXPECT_EQ(zh.Find(1)->name, "\xB9\xA4\xD7\xF7\xC4\xA3\xCA\xBD");
    // 数据位
    EXPECT_EQ(zh.Find(16)->name, "\xCA\xFD\xBE\xDD\xCE\xBB");
    // Mixed ASCII and Chinese: APN接入点
    EXPECT_TRUE(zh.Find(2)->name.starts_with("APN\xBD\xD3"));
    for (std::size_t i = 0; i < zh.Items().size(); ++i) {
        EXPECT_EQ(zh.Items()[i].factory, en.Items()[i].factory);
        EXPECT_NE(zh.Items()[i].name, en.Items()[i].name);
    }
    EXPECT_LT(zh.Listing().size() + 4, 2000u);
}

TEST(KavrelsimDefaultTable, Gb18030ConversionRefusesBrokenUtf8) {
    EXPECT_EQ(Utf8ToGb18030("abc"), "abc");
    EXPECT_THROW(Utf8ToGb18030("\xE5\xB7"), std::runtime_error);
}

TEST(KavrelsimParamFile, LoadedTableKeepsGapsAndHighNumbers) {
    ParameterTable t = TableFromParamText(
        "# exported from a field unit\n"
        "61,Extra,a,b,c\r\n"
        "\n"
        "1,Mode,0\n"
        "5,Empty,\n"
        "200,Long," +
        std::string(80, 'v') + "\n");
    ASSERT_EQ(t.Items().size(), 4u);
    EXPECT_EQ(t.Listing(), "1,Mode,0\r\n5,Empty,\r\n61,Extra,a,b,c\r\n200,Long," +
                               std::string(80, 'v') + "\r\n");
    EXPECT_EQ(t.Find(61)->factory, "a,b,c");
    EXPECT_EQ(t.Find(2), nullptr);
    EXPECT_TRUE(t.Find(5)->rule.Accepts(std::string(kLoadedTextLimit, 'x')));
    EXPECT_FALSE(t.Find(5)->rule.Accepts(std::string(kLoadedTextLimit + 1, 'x')));
    EXPECT_TRUE(t.Find(200)->rule.Accepts(std::string(80, 'w')));
}

TEST(KavrelsimParamFile, MalformedFilesAreRefused) {
    EXPECT_THROW(TableFromParamText("1,a,1\n1,b,2\n"), std::invalid_argument);
    for (const char* bad : {"1,no value field\n", "x,Name,1\n", "0,Name,1\n", "-3,Name,1\n",
                            ",Name,1\n", "1 ,Name,1\n", "99999999999,Name,1\n"}) {
        EXPECT_THROW(ParseParamText(bad), std::runtime_error) << bad;
    }
    try {
        ParseParamText("1,a,1\n\nbroken\n");
        FAIL();
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("line 3"), std::string::npos) << e.what();
    }
}

class KavrelsimStateFile : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("kavrel-sim-state-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::filesystem::path dir_;
};

TEST_F(KavrelsimStateFile, RoundTripKeepsEveryValue) {
    ParameterTable saved = DefaultTable(Language::kChinese);
    saved.Find(12)->value = "ping,pong";
    saved.Find(39)->value = "\xC9\xE8\xB1\xB8";
    saved.Find(3)->value = "";
    saved.Find(6)->value = "9000";
    std::string path = (dir_ / "state.txt").string();
    std::string error;
    ASSERT_TRUE(WriteOutputFile(path, FormatParamText(saved), &error)) << error;
    ASSERT_TRUE(WriteOutputFile(path, FormatParamText(saved), &error)) << error;  // replaces
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_),
                            std::filesystem::directory_iterator()),
              1);  // no temporary file left behind

    ParameterTable loaded = DefaultTable(Language::kChinese);
    EXPECT_TRUE(ApplyState(loaded, ReadTextFile(path)).empty());
    EXPECT_EQ(loaded.Listing(), saved.Listing());
    loaded.RestoreFactory();
    EXPECT_EQ(loaded.Listing(), DefaultTable(Language::kChinese).Listing());
}

TEST_F(KavrelsimStateFile, BadLinesAreSkippedWithAWarning) {
    ParameterTable t = DefaultTable(Language::kEnglish);
    auto warnings = ApplyState(t, "6,Server Port,70000\n77,Gone,1\n2,APN,internet\n");
    EXPECT_EQ(warnings.size(), 2u);
    EXPECT_EQ(t.Find(6)->value, "5001");
    EXPECT_EQ(t.Find(2)->value, "internet");
}

TEST_F(KavrelsimStateFile, FailedWriteSaysWhy) {
    std::string error;
    EXPECT_FALSE(WriteOutputFile((dir_ / "missing" / "state.txt").string(), "x", &error));
    EXPECT_NE(error.find("missing"), std::string::npos) << error;
    EXPECT_THROW(ReadTextFile((dir_ / "nothing").string()), std::runtime_error);
}

}  // namespace
}  // namespace kavrelsim
