#include "Bench.h"

#include <gtest/gtest.h>

#include "DefaultTable.h"
#include "EventRecorder.h"
#include "Pacer.h"

namespace kavrelsim {
namespace {

using std::chrono::milliseconds;
using testing::EventRecorder;

constexpr LineSettings k8N1{28800, 8, 'N', 1};

BenchOptions Options(int devices = 0) {
    BenchOptions o;
    o.bootDelay = milliseconds(1500);
    o.devices = devices;
    o.device.imei = "860000000000009";
    o.device.echo = false;
    o.factory = DefaultTable(Language::kEnglish);
    return o;
}

class KavrelsimBench : public ::testing::Test {
protected:
    void Make(BenchOptions options) { bench_.emplace(std::move(options), recorder_.Sink()); }
    std::string Say(std::string_view bytes, milliseconds now) {
        bench_->Receive(bytes, k8N1, now);
        return bench_->TakeOutput(now);
    }
    // Opens the port at `t`, lets the device boot and enters configuration mode.
    void Connect(milliseconds t) {
        bench_->PortOpened(t);
        bench_->Advance(t + milliseconds(1500));
        ASSERT_EQ(Say("AT+TEST\r", t + milliseconds(1600)), "OK\r\n");
    }
    std::string Imei(milliseconds t) { return Say("AT+DTU&IMEI?\r", t).substr(2, 15); }

    std::optional<Bench> bench_;
    EventRecorder recorder_;
};

TEST_F(KavrelsimBench, DeviceSwitchesOnBootDelayAfterThePortOpens) {
    Make(Options());
    EXPECT_FALSE(bench_->NextDeadline().has_value());
    EXPECT_EQ(Say("AT+TEST\r", milliseconds(0)), "");  // nothing plugged in yet
    bench_->PortOpened(milliseconds(1000));
    EXPECT_EQ(bench_->NextDeadline(), milliseconds(2500));
    EXPECT_EQ(Say("AT+TEST\r", milliseconds(2499)), "");
    EXPECT_FALSE(bench_->Current()->Powered());
    bench_->Advance(milliseconds(2500));
    EXPECT_TRUE(bench_->Current()->Powered());
    EXPECT_EQ(Say("AT+TEST\r", milliseconds(2600)), "OK\r\n");

    auto on = recorder_.Named("power-on");
    ASSERT_EQ(on.size(), 1u);
    EXPECT_EQ(on[0]["t"], 2500);
    EXPECT_EQ(on[0]["imei"], "860000000000009");
    auto rx = recorder_.Named("rx");
    ASSERT_EQ(rx.size(), 3u);
    EXPECT_EQ(rx[0]["ignored"], "device off");
    EXPECT_EQ(rx[2]["hex"], "41542B544553540D");
    EXPECT_FALSE(rx[2].contains("ignored"));
}

TEST_F(KavrelsimBench, ClosingThePortUnplugsTheDevice) {
    Make(Options());
    Connect(milliseconds(0));
    bench_->PortClosed(milliseconds(3000));
    EXPECT_FALSE(bench_->Current()->Powered());
    auto off = recorder_.Named("power-off");
    ASSERT_EQ(off.size(), 1u);
    EXPECT_EQ(off[0]["reason"], "unplugged");
    // Closing before the boot delay ran out cancels the switch-on.
    bench_->PortOpened(milliseconds(4000));
    bench_->PortClosed(milliseconds(4100));
    bench_->Advance(milliseconds(9000));
    EXPECT_FALSE(bench_->Current()->Powered());
    EXPECT_FALSE(bench_->NextDeadline().has_value());
}

TEST_F(KavrelsimBench, WithoutABatchTheSameDeviceComesBackWithItsValues) {
    Make(Options());
    Connect(milliseconds(0));
    ASSERT_EQ(Say("AT+SET=2,internet\r", milliseconds(1700)), "OK\r\n");
    bench_->PortClosed(milliseconds(2000));
    Connect(milliseconds(3000));
    EXPECT_EQ(Imei(milliseconds(4700)), "860000000000009");
    EXPECT_EQ(bench_->Current()->Table().Find(2)->value, "internet");
    EXPECT_EQ(bench_->DeviceNumber(), 1);
}

TEST_F(KavrelsimBench, BatchBringsFreshDevicesWithCountingImeisThenNone) {
    Make(Options(3));
    for (int i = 0; i < 3; ++i) {
        milliseconds t(i * 10000);
        Connect(t);
        EXPECT_EQ(bench_->Current()->Table().Find(2)->value, "CMNET") << "device " << i + 1;
        ASSERT_EQ(Say("AT+SET=2,internet\r", t + milliseconds(1700)), "OK\r\n");
        bench_->PortClosed(t + milliseconds(2000));
    }
    auto on = recorder_.Named("power-on");
    ASSERT_EQ(on.size(), 3u);
    // The IMEI carries over into the next digit.
    EXPECT_EQ(on[0]["imei"], "860000000000009");
    EXPECT_EQ(on[1]["imei"], "860000000000010");
    EXPECT_EQ(on[2]["imei"], "860000000000011");
    EXPECT_EQ(on[2]["device"], 3);

    // The batch is done: the port stays silent.
    EXPECT_EQ(bench_->Current(), nullptr);
    bench_->PortOpened(milliseconds(40000));
    bench_->Advance(milliseconds(50000));
    EXPECT_EQ(Say("AT+TEST\r", milliseconds(50000)), "");
    EXPECT_EQ(recorder_.Named("no-device").size(), 1u);
    EXPECT_EQ(recorder_.Named("power-on").size(), 3u);
}

TEST_F(KavrelsimBench, DeviceNeverSwitchedOnStaysOnTheBench) {
    Make(Options(2));
    bench_->PortOpened(milliseconds(0));
    bench_->PortClosed(milliseconds(100));  // the tool only looked at the port
    Connect(milliseconds(1000));
    EXPECT_EQ(Imei(milliseconds(2700)), "860000000000009");
}

TEST_F(KavrelsimBench, SeriesThatWouldOverflowTheImeiIsRefused) {
    auto o = Options(2);
    o.device.imei = "999999999999999";
    EXPECT_THROW(Bench(std::move(o), nullptr), std::invalid_argument);
    EXPECT_EQ(Bench::ImeiPlus("860000000000999", 1), "860000000001000");
    EXPECT_THROW(Bench::ImeiPlus("86000000000000", 0), std::invalid_argument);
}

TEST_F(KavrelsimBench, PowerSwitchActsAtOnce) {
    Make(Options());
    bench_->Power(PowerCommand::kOn, milliseconds(100));  // port still closed
    EXPECT_TRUE(bench_->Current()->Powered());
    // Opening the port finds it running: no second switch-on.
    bench_->PortOpened(milliseconds(200));
    bench_->Advance(milliseconds(200) + Options().bootDelay);
    EXPECT_EQ(recorder_.Named("power-on").size(), 1u);
    EXPECT_EQ(Say("AT+TEST\r", milliseconds(300)), "OK\r\n");

    bench_->Power(PowerCommand::kCycle, milliseconds(400));
    EXPECT_TRUE(bench_->Current()->Powered());
    EXPECT_FALSE(bench_->Current()->InConfigMode());
    bench_->Power(PowerCommand::kOff, milliseconds(500));
    EXPECT_FALSE(bench_->Current()->Powered());

    auto off = recorder_.Named("power-off");
    ASSERT_EQ(off.size(), 2u);
    EXPECT_EQ(off[0]["reason"], "switch");
    EXPECT_EQ(recorder_.Named("power-on").size(), 2u);

    // Switching off while the device boots cancels the automatic switch-on.
    bench_->PortClosed(milliseconds(600));
    bench_->PortOpened(milliseconds(700));
    bench_->Power(PowerCommand::kOff, milliseconds(800));
    bench_->Advance(milliseconds(5000));
    EXPECT_FALSE(bench_->Current()->Powered());
}

TEST_F(KavrelsimBench, StartsFromSavedValuesAndReportsEveryChange) {
    auto o = Options();
    ParameterTable saved = o.factory;
    saved.Find(6)->value = "9000";
    o.firstValues = saved;
    Make(std::move(o));
    std::vector<std::string> written;
    bench_->SetValuesChangedHandler(
        [&written](const ParameterTable& t) { written.push_back(FormatParamText(t)); });
    Connect(milliseconds(0));
    EXPECT_EQ(bench_->Current()->Table().Find(6)->value, "9000");
    Say("AT+SET=7,1\r", milliseconds(1700));
    Say("AT+RESTORE\r", milliseconds(1800));
    ASSERT_EQ(written.size(), 2u);
    EXPECT_NE(written[0].find("\n6,Server Port,9000\n7,Protocol,1\n"), std::string::npos);
    EXPECT_NE(written[1].find("\n6,Server Port,5001\n"), std::string::npos);
}

TEST(KavrelsimPacer, SpacesBytesTenBitTimesApart) {
    using std::chrono::microseconds;
    using std::chrono::nanoseconds;
    Pacer p;
    const nanoseconds byte = Pacer::ByteTime(28800);
    EXPECT_EQ(byte, nanoseconds(347222));  // 10 bits at 28800 baud

    nanoseconds t0 = std::chrono::seconds(5);
    // Idle line: one byte may start now, not a backlog of credit.
    EXPECT_EQ(p.Allowance(t0, 28800), 1u);
    p.Sent(1, 28800);
    EXPECT_EQ(p.Allowance(t0 + byte - nanoseconds(1), 28800), 0u);
    EXPECT_EQ(p.NextSlot(), t0 + byte);
    // A late wake-up catches up with what the line could have carried.
    EXPECT_EQ(p.Allowance(t0 + byte * 3 + microseconds(10), 28800), 3u);
    p.Sent(3, 28800);
    EXPECT_EQ(p.NextSlot(), t0 + byte * 4);
    // After a pause there is no burst.
    p.Idle();
    EXPECT_EQ(p.Allowance(t0 + std::chrono::seconds(1), 28800), 1u);
    // Without a known rate nothing is held back.
    EXPECT_GT(p.Allowance(t0, 0), 1000000u);
}

}  // namespace
}  // namespace kavrelsim
