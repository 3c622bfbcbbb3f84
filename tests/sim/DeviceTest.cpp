#include "Device.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DeviceFixture.h"

namespace kavrelsim {
namespace {

using std::chrono::milliseconds;
using namespace std::string_view_literals;

constexpr LineSettings k8N1{28800, 8, 'N', 1};

class KavrelsimDevice : public testing::DeviceFixture {
protected:
    Device& Make(DeviceOptions options = {}, Faults faults = {}) {
        return SwitchOn(std::move(options), std::move(faults));
    }
    std::string Login(std::string_view command = "AT+TEST\r") { return Say(command); }
};

DeviceOptions NoEcho() {
    DeviceOptions o;
    o.echo = false;
    return o;
}

TEST_F(KavrelsimDevice, EchoesEachCommandBeforeItsAnswer) {
    Make();
    EXPECT_EQ(Say("AT+TEST\r"), "AT+TEST\rOK\r\n");
    EXPECT_EQ(Say("AT+DTU&IMEI?\r"), "AT+DTU&IMEI?\r\r\n860000000000001\r\nOK\r\n");
    EXPECT_EQ(Say("AT+BOGUS\r"), "AT+BOGUS\rERROR\r\n");
}

TEST_F(KavrelsimDevice, InformationCommandsWithoutEcho) {
    DeviceOptions o = NoEcho();
    o.imei = "861234567890123";
    o.versionText = "KV-3.0.0 test";
    Make(o);
    EXPECT_EQ(Say("AT+TEST\r"), "OK\r\n");
    EXPECT_EQ(Say("AT+DTU&IMEI?\r"), "\r\n861234567890123\r\nOK\r\n");
    EXPECT_EQ(Say("AT+DTU&VER?\r"), "\r\nKV-3.0.0 test\r\nOK\r\n");
}

TEST_F(KavrelsimDevice, StartupWindow) {
    DeviceOptions o = NoEcho();
    o.window = milliseconds(10000);
    Make(o);
    // Outside configuration mode nothing but the probe is taken.
    EXPECT_EQ(Say("AT+GETDV=0\r", milliseconds(500)), "ERROR\r\n");
    EXPECT_FALSE(device_->InConfigMode());
    // Once the window has passed, the device no longer listens at all.
    EXPECT_EQ(Say("AT+TEST\r", milliseconds(10000)), "");
    EXPECT_EQ(Say("AT+BOGUS\r", milliseconds(10001)), "");
    EXPECT_FALSE(device_->InConfigMode());
}

TEST_F(KavrelsimDevice, ConfigurationModeOutlivesTheWindowUntilQuit) {
    Make(NoEcho());
    EXPECT_EQ(Say("AT+TEST\r", milliseconds(9999)), "OK\r\n");
    EXPECT_TRUE(device_->InConfigMode());
    EXPECT_EQ(Say("AT+TEST\r", milliseconds(60000)), "OK\r\n");
    EXPECT_EQ(Say("AT+DTU&VER?\r", milliseconds(60000)), "\r\nKV-2.9.4 build 2022-11-09\r\nOK\r\n");

    EXPECT_EQ(Say("AT+QUIT\r", milliseconds(61000)), "OK\r\n");
    EXPECT_FALSE(device_->InConfigMode());
    EXPECT_EQ(Say("AT+TEST\r", milliseconds(61100)), "");
    EXPECT_EQ(recorder_.Named("quit").size(), 1u);
}

TEST_F(KavrelsimDevice, PowerCycleReopensTheWindowAndForgetsConfigurationMode) {
    Make(NoEcho());
    Say("AT+TEST\r", milliseconds(100));
    Say("AT+SET=2,internet\r", milliseconds(200));
    device_->PowerOff(milliseconds(300));
    EXPECT_EQ(Say("AT+TEST\r", milliseconds(400)), "");  // nobody home
    device_->PowerOn(milliseconds(20000));
    EXPECT_FALSE(device_->InConfigMode());
    EXPECT_EQ(Say("AT+GETDV=0\r", milliseconds(20100)), "ERROR\r\n");
    EXPECT_EQ(Say("AT+TEST\r", milliseconds(20200)), "OK\r\n");
    EXPECT_EQ(device_->Table().Find(2)->value, "internet");  // non-volatile
}

TEST_F(KavrelsimDevice, PasswordLogin) {
    DeviceOptions o = NoEcho();
    o.password = "s3cret";
    Make(o);
    EXPECT_EQ(Say("AT+TEST\r"), "\r\nNEED PWD\r\n");
    EXPECT_TRUE(device_->InConfigMode());
    // Configuration commands are refused until the password was given.
    for (const char* cmd :
         {"AT+GETDV=0\r", "AT+SET=2,x\r", "AT+RESTORE\r", "AT+DTU&IMEI?\r", "AT+DTU&VER?\r"}) {
        EXPECT_EQ(Say(cmd), "ERROR\r\n") << cmd;
    }
    EXPECT_EQ(device_->Table().Find(2)->value, "CMNET");

    EXPECT_EQ(Say("AT+TESTPWD=wrong\r"), "ERROR\r\n");
    EXPECT_EQ(Say("AT+TESTPWD=s3cret \r"), "ERROR\r\n");
    EXPECT_EQ(Say("AT+TEST\r"), "\r\nNEED PWD\r\n");
    EXPECT_FALSE(device_->LoggedIn());

    EXPECT_EQ(Say("AT+TESTPWD=s3cret\r"), "OK\r\n");
    EXPECT_EQ(Say("AT+TEST\r"), "OK\r\n");
    EXPECT_EQ(Say("AT+SET=2,x\r"), "OK\r\n");

    auto logins = recorder_.Named("login");
    ASSERT_EQ(logins.size(), 3u);
    EXPECT_EQ(logins[0]["result"], "failed");
    EXPECT_EQ(logins[2]["result"], "ok");

    // The login lasts for one power cycle only.
    device_->PowerOff(milliseconds(200));
    device_->PowerOn(milliseconds(300));
    EXPECT_EQ(Say("AT+TEST\r", milliseconds(400)), "\r\nNEED PWD\r\n");
}

TEST_F(KavrelsimDevice, GetdvListsEveryItemInNumberOrder) {
    Make(NoEcho());
    Login();
    std::string reply = Say("AT+GETDV=0\r");
    ASSERT_TRUE(reply.ends_with("\r\nOK\r\n"));
    // The tool's reply buffer is 2048 bytes; an answer near it would be cut.
    EXPECT_LT(reply.size(), 2000u);
    // A leading line end keeps item 1 apart from an echoed command.
    EXPECT_TRUE(reply.starts_with("\r\n1,Work Mode,0\r\n2,APN,CMNET\r\n3,APN User,\r\n"));
    EXPECT_TRUE(reply.ends_with("\r\n40,TCP Keepalive,120\r\nOK\r\n"));
    std::size_t lines = 0;
    for (auto pos = reply.find("\r\n"); pos != std::string::npos;
         pos = reply.find("\r\n", pos + 2)) {
        ++lines;
    }
    EXPECT_EQ(lines, 42u);
    EXPECT_EQ(Say("AT+GETDV=1\r"), "ERROR\r\n");
}

TEST_F(KavrelsimDevice, SetStoresAcceptedValues) {
    Make(NoEcho());
    Login();
    EXPECT_EQ(Say("AT+SET=6,8080\r"), "OK\r\n");
    EXPECT_EQ(device_->Table().Find(6)->value, "8080");
    EXPECT_NE(Say("AT+GETDV=0\r").find("\r\n6,Server Port,8080\r\n"), std::string::npos);

    auto sets = recorder_.Named("set");
    ASSERT_EQ(sets.size(), 1u);
    EXPECT_EQ(sets[0]["item"], 6);
    EXPECT_EQ(sets[0]["old"], "35303031");
    EXPECT_EQ(sets[0]["new"], "38303830");
    EXPECT_EQ(sets[0]["new_text"], "8080");
}

TEST_F(KavrelsimDevice, SetValueIsEverythingAfterTheFirstComma) {
    Make(NoEcho());
    Login();
    EXPECT_EQ(Say("AT+SET=12,a,b,,c\r"), "OK\r\n");
    EXPECT_EQ(device_->Table().Find(12)->value, "a,b,,c");
    EXPECT_EQ(Say("AT+SET=3,\r"), "OK\r\n");  // APN user may be empty
    EXPECT_EQ(device_->Table().Find(3)->value, "");
    EXPECT_EQ(Say("AT+SET=6,\r"), "ERROR\r\n");  // a port may not
    // Bytes beyond ASCII (here GB18030 text) are stored as they came.
    EXPECT_EQ(Say("AT+SET=39,\xC9\xE8\xB1\xB8 1\r"), "OK\r\n");
    EXPECT_EQ(device_->Table().Find(39)->value, "\xC9\xE8\xB1\xB8 1");
    EXPECT_EQ(recorder_.Named("set").back()["new"], "C9E8B1B82031");
}

TEST_F(KavrelsimDevice, SetRefusesWhatTheItemDoesNotAccept) {
    Make(NoEcho());
    Login();
    // One or two per kind of rule; the rules themselves are tested on their own.
    const char* refused[] = {
        "AT+SET=6,0\r",
        "AT+SET=6,80a\r",
        "AT+SET=1,4\r",
        "AT+SET=5,10.0.0.300\r",
        "AT+SET=5,\r",
        "AT+SET=32,dns.example.com\r",
        "AT+SET=25,+86abc\r",
        "AT+SET=12,tab\there\r",
        "AT+SET=99,1\r",
        "AT+SET=39,a name far too long for item 39\r",
        // Not of the form AT+SET=N,V at all.
        "AT+SET=6\r",
        "AT+SET=,1\r",
        "AT+SET=x,1\r",
        "AT+SET=-6,1\r",
    };
    const std::string before = device_->Table().Listing();
    for (const char* cmd : refused) {
        EXPECT_EQ(Say(cmd), "ERROR\r\n") << cmd;
    }
    EXPECT_EQ(device_->Table().Listing(), before);
    EXPECT_TRUE(recorder_.Named("set").empty());
    EXPECT_EQ(recorder_.Named("rejected").size(), std::size(refused));

    EXPECT_EQ(Say("AT+SET=5,dtu-01.example.org\r"), "OK\r\n");
    EXPECT_EQ(Say("AT+SET=36,-12\r"), "OK\r\n");
}

TEST_F(KavrelsimDevice, RestoreBringsBackFactoryValues) {
    Make(NoEcho());
    Login();
    int changes = 0;
    device_->SetValuesChangedHandler([&changes](const ParameterTable&) { ++changes; });
    const std::string factory = device_->Table().Listing();
    Say("AT+SET=2,internet\r");
    Say("AT+SET=11,30\r");
    EXPECT_NE(device_->Table().Listing(), factory);
    EXPECT_EQ(Say("AT+RESTORE\r"), "OK\r\n");
    EXPECT_EQ(device_->Table().Listing(), factory);
    EXPECT_EQ(changes, 3);
    EXPECT_EQ(recorder_.Named("restore").size(), 1u);
}

TEST_F(KavrelsimDevice, LineNoiseAndLineEndings) {
    Make();
    // A lone "\r" or the "\n" of "\r\n" carries no command and gets no answer.
    EXPECT_EQ(Say("\r"), "");
    EXPECT_EQ(Say("\n\r"), "");
    // Bytes before "AT" are skipped, but echoed as they came.
    EXPECT_EQ(Say("\x00\xFFzzAT+TEST\r"sv), "\x00\xFFzzAT+TEST\rOK\r\n"sv);
    EXPECT_EQ(Say("\nAT+DTU&IMEI?\r"), "\nAT+DTU&IMEI?\r\r\n860000000000001\r\nOK\r\n");
    // Garbage without a command is answered with ERROR.
    EXPECT_EQ(Say("\xFE\xFE\r"), "\xFE\xFE\rERROR\r\n");
    // Commands are case sensitive, like the firmware's table of them.
    EXPECT_EQ(Say("at+test\r"), "at+test\rERROR\r\n");
}

TEST_F(KavrelsimDevice, CommandsMaySpanSeveralReads) {
    Make(NoEcho());
    EXPECT_EQ(Say("AT+TE"), "");
    EXPECT_EQ(Say("ST"), "");
    EXPECT_EQ(Say("\rAT+DTU&IM"), "OK\r\n");
    EXPECT_EQ(Say("EI?\r\n"), "\r\n860000000000001\r\nOK\r\n");
}

TEST_F(KavrelsimDevice, OverlongLineIsAnError) {
    Make(NoEcho());
    Login();
    std::string line = "AT+SET=12," + std::string(Device::kMaxLine + 10, 'x') + "\r";
    EXPECT_EQ(Say(line), "ERROR\r\n");
    EXPECT_EQ(Say("AT+TEST\r"), "OK\r\n");  // the next line starts clean
}

TEST_F(KavrelsimDevice, BytesAtAnotherLineSettingAreNoise) {
    Make(NoEcho());
    const LineSettings wrong[] = {
        {38400, 8, 'N', 1}, {115200, 8, 'N', 1}, {28800, 7, 'E', 1}, {28800, 8, 'N', 2}};
    for (const auto& line : wrong) {
        EXPECT_EQ(Say("AT+TEST\r", milliseconds(100), line), "");
    }
    EXPECT_FALSE(device_->InConfigMode());
    auto events = recorder_.Named("line-rate-mismatch");
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[1]["baud"], 115200);
    EXPECT_EQ(events[2]["data_bits"], 7);
    EXPECT_EQ(events[2]["parity"], "E");
    EXPECT_EQ(events[3]["stop_bits"], 2);
    EXPECT_EQ(events[0]["expected_baud"], 28800);

    // Noise in the middle of a command spoils it.
    EXPECT_EQ(Say("AT+TE"), "");
    EXPECT_EQ(Say("xx", milliseconds(100), wrong[1]), "");
    EXPECT_EQ(Say("ST\r"), "ERROR\r\n");
    EXPECT_EQ(Say("AT+TEST\r"), "OK\r\n");
}

TEST_F(KavrelsimDevice, ErrorOnFaultRefusesOnlyTheNamedItems) {
    Faults f;
    f.errorOnSet = {6, 40};
    Make(NoEcho(), f);
    Login();
    EXPECT_EQ(Say("AT+SET=6,8080\r"), "ERROR\r\n");
    EXPECT_EQ(Say("AT+SET=40,60\r"), "ERROR\r\n");
    EXPECT_EQ(Say("AT+SET=7,1\r"), "OK\r\n");
    EXPECT_EQ(device_->Table().Find(6)->value, "5001");
}

TEST_F(KavrelsimDevice, SilentDeviceNeverAnswers) {
    Faults f;
    f.silent = true;
    Make({}, f);
    EXPECT_EQ(Say("AT+TEST\r"), "");
    EXPECT_EQ(Say("garbage\r"), "");
    EXPECT_FALSE(device_->NextOutputDue().has_value());
}

TEST_F(KavrelsimDevice, ReplyDelayHoldsAnswersBackInOrder) {
    Faults f;
    f.replyDelay = milliseconds(250);
    Make({}, f);
    device_->Receive("AT+TEST\r", k8N1, milliseconds(100));
    EXPECT_EQ(device_->TakeOutput(milliseconds(100)), "AT+TEST\r");  // echo is immediate
    device_->Receive("AT+DTU&VER?\r", k8N1, milliseconds(120));
    EXPECT_EQ(device_->NextOutputDue(), milliseconds(350));
    EXPECT_EQ(device_->TakeOutput(milliseconds(349)), "");
    // The second echo waits behind the first answer.
    EXPECT_EQ(device_->TakeOutput(milliseconds(350)), "OK\r\nAT+DTU&VER?\r");
    EXPECT_EQ(device_->TakeOutput(milliseconds(369)), "");
    EXPECT_EQ(device_->TakeOutput(milliseconds(370)), "\r\nKV-2.9.4 build 2022-11-09\r\nOK\r\n");
}

TEST_F(KavrelsimDevice, OutputIsReportedWhenItLeavesAndCutByPowerLoss) {
    Make(NoEcho());
    Login();
    device_->Receive("AT+GETDV=0\r", k8N1, milliseconds(100));
    std::string part = device_->TakeOutput(milliseconds(100), 10);
    EXPECT_EQ(part, "\r\n1,Work M");
    auto txBefore = recorder_.Named("tx").size();
    device_->PowerOff(milliseconds(101));
    auto tx = recorder_.Named("tx");
    ASSERT_EQ(tx.size(), txBefore + 1);
    EXPECT_EQ(tx.back()["text"], "\\r\\n1,Work M");
    EXPECT_EQ(tx.back()["cut"], true);
    EXPECT_FALSE(device_->NextOutputDue().has_value());
}

}  // namespace
}  // namespace kavrelsim
