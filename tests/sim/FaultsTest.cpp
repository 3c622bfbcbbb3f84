// The line faults of the device model with injected time: noise, dropped
// bytes, late answers, unplugging in each state, the random fault of a batch.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "Bench.h"
#include "DefaultTable.h"
#include "Device.h"
#include "DeviceFixture.h"
#include "ProtocolWords.h"
#include "XmodemSender.h"

namespace kavrelsim {
namespace {

using std::chrono::milliseconds;
using namespace testing;

class KavrelsimFaults : public DeviceFixture {
protected:
    Device& Make(Faults faults, DeviceOptions o = {}) {
        o.echo = false;
        return SwitchOn(std::move(o), std::move(faults));
    }
    std::vector<Json> Named(std::string_view name) const { return recorder_.Named(name); }
};

std::string Listing(const Faults& f) {
    DeviceOptions o;
    o.echo = false;
    Device d(o, DefaultTable(Language::kEnglish), f, {});
    d.PowerOn(milliseconds(0));
    d.Receive("AT+TEST\rAT+GETDV=0\r", kCommandLine, milliseconds(10));
    return d.TakeOutput(milliseconds(10));
}

std::string Listing(double noise, double drop, std::uint64_t seed) {
    Faults f;
    f.noiseRate = noise;
    f.dropRate = drop;
    f.seed = seed;
    return Listing(f);
}

TEST(KavrelsimLineFaults, NoiseAndDropAreSeededAndSpoilOnlyWhatTheySay) {
    const std::string clean = Listing(0, 0, 1);
    ASSERT_GT(clean.size(), 500u);
    // Same seed, same run; another seed, another run.
    EXPECT_EQ(Listing(0.05, 0, 3), Listing(0.05, 0, 3));
    EXPECT_NE(Listing(0.05, 0, 3), Listing(0.05, 0, 4));
    EXPECT_NE(Listing(0.05, 0, 3), clean);
    // Dropping only ever removes bytes: what is left is a subsequence.
    const std::string dropped = Listing(0, 0.1, 5);
    EXPECT_LT(dropped.size(), clean.size());
    std::size_t at = 0;
    for (char c : dropped) {
        at = clean.find(c, at);
        ASSERT_NE(at, std::string::npos);
        ++at;
    }
    EXPECT_EQ(Listing(0, 1.0, 5), "");
}

TEST_F(KavrelsimFaults, UnplugWhileConnectingAnswersNothingAndHearsNothingMore) {
    Faults f;
    f.unplugAt = UnplugAt::kConnecting;
    Make(f);
    EXPECT_EQ(Say("AT+TEST\r"), "");
    EXPECT_TRUE(device_->TakeUnplug());
    EXPECT_FALSE(device_->TakeUnplug());
    ASSERT_EQ(Named("unplug").size(), 1u);
    EXPECT_EQ(Named("unplug")[0]["state"], "connecting");
    EXPECT_EQ(Named("unplug")[0]["imei"], "860000000000001");
}

TEST_F(KavrelsimFaults, UnplugMidModifyKeepsTheNthValueButNotItsAnswer) {
    Faults f;
    f.unplugAt = UnplugAt::kMidModify;
    f.unplugN = 2;
    Make(f);
    Say("AT+TEST\r");
    EXPECT_EQ(Say("AT+SET=2,a\r"), "OK\r\n");
    EXPECT_FALSE(device_->TakeUnplug());
    EXPECT_EQ(Say("AT+SET=3,b\rAT+SET=4,c\r"), "");
    EXPECT_TRUE(device_->TakeUnplug());
    EXPECT_EQ(device_->Table().Find(3)->value, "b");
    EXPECT_NE(device_->Table().Find(4)->value, "c");  // never arrived
}

TEST_F(KavrelsimFaults, UnplugWhenConnectedComesAfterTheListing) {
    Faults f;
    f.unplugAt = UnplugAt::kConnected;
    Make(f);
    Say("AT+TEST\rAT+GETDV=0\r", milliseconds(100));
    EXPECT_FALSE(device_->TakeUnplug());
    EXPECT_EQ(device_->NextDeadline(), milliseconds(400));
    device_->Advance(milliseconds(400));
    EXPECT_TRUE(device_->TakeUnplug());
}

TEST_F(KavrelsimFaults, ErrorOnTheNthSetAndALateAnswerForOneCommand) {
    Faults f;
    f.errorOnNthSet = 2;
    f.delayCommand = "AT+DTU&VER?";
    f.delayOne = milliseconds(2000);
    Make(f);
    Say("AT+TEST\r");
    EXPECT_EQ(Say("AT+SET=2,a\r"), "OK\r\n");
    EXPECT_EQ(Say("AT+SET=2,b\r"), "ERROR\r\n");
    EXPECT_EQ(Say("AT+SET=2,c\r"), "OK\r\n");
    EXPECT_EQ(Say("AT+DTU&IMEI?\r"), "\r\n860000000000001\r\nOK\r\n");
    EXPECT_EQ(Say("AT+DTU&VER?\r", milliseconds(200)), "");
    EXPECT_EQ(device_->NextOutputDue(), milliseconds(2200));
}

TEST_F(KavrelsimFaults, LoaderUnplugsAtTheBannersEnterAndAtAStoredBlock) {
    Faults f;
    f.unplugAt = UnplugAt::kLoaderDialogue;
    Make(f);
    EXPECT_FALSE(Say("u", milliseconds(100), kConsoleLine).empty());
    EXPECT_EQ(Say("\r", milliseconds(200), kConsoleLine), "");
    EXPECT_TRUE(device_->TakeUnplug());

    f.unplugAt = UnplugAt::kMidTransfer;
    f.unplugN = 2;
    std::vector<std::string> images;
    Make(f).SetFirmwareHandler([&images](const std::string& i) { images.push_back(i); });
    Say("u", milliseconds(100), kConsoleLine);
    Say("\r", milliseconds(200), kConsoleLine);
    Say("y\r", milliseconds(300), kConsoleLine);
    EXPECT_EQ(Say(Block(1, std::string(128, 'a'), false), milliseconds(400), kConsoleLine),
              std::string(1, kAck));
    EXPECT_EQ(Say(Block(2, std::string(128, 'b'), false), milliseconds(500), kConsoleLine), "");
    EXPECT_TRUE(device_->TakeUnplug());
    EXPECT_TRUE(images.empty());
}

TEST_F(KavrelsimFaults, ReceiverThatNaksEverythingOrNeverFallsSilent) {
    Faults f;
    f.nakAll = true;
    Make(f);
    Say("u", milliseconds(100), kConsoleLine);
    Say("\r", milliseconds(200), kConsoleLine);
    Say("y\r", milliseconds(300), kConsoleLine);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(Say(Block(1, "x", false), milliseconds(400), kConsoleLine), std::string(1, kNak));
    }

    f.nakAll = false;
    f.babbleAfter = 1;
    Make(f);
    Say("u", milliseconds(100), kConsoleLine);
    Say("\r", milliseconds(200), kConsoleLine);
    Say("y\r", milliseconds(300), kConsoleLine);
    EXPECT_EQ(Say(Block(1, "x", false), milliseconds(400), kConsoleLine), std::string(1, kAck));
    std::string later = device_->TakeOutput(milliseconds(60000), std::string::npos, kConsoleLine);
    EXPECT_GT(later.size(), 1000u);
    EXPECT_EQ(later.find_first_of(std::string{kAck, kNak, kCan, 'C'}), std::string::npos);
}

// The item numbers of a listing's lines in the order they came, "OK" as 0.
std::vector<int> ListedNumbers(ListingOrder order, std::uint64_t seed) {
    Faults f;
    f.listingOrder = order;
    f.seed = seed;
    const std::string listing = Listing(f).substr(std::string_view("OK\r\n\r\n").size());
    std::vector<int> numbers;
    for (std::size_t at = 0; at < listing.size(); at = listing.find("\r\n", at) + 2) {
        numbers.push_back(listing.compare(at, 4, "OK\r\n") == 0 ? 0
                                                                : std::stoi(listing.substr(at)));
    }
    return numbers;
}

TEST(KavrelsimListingOrder, EveryItemOnceOkLastAndShufflingFollowsTheSeed) {
    std::vector<int> ascending(41, 0);  // items 1..40, then the OK
    std::iota(ascending.begin(), ascending.end() - 1, 1);
    EXPECT_EQ(ListedNumbers(ListingOrder::kAscending, 7), ascending);
    std::vector<int> descending = ascending;
    std::reverse(descending.begin(), descending.end() - 1);
    EXPECT_EQ(ListedNumbers(ListingOrder::kDescending, 7), descending);
    std::vector<int> shuffled = ListedNumbers(ListingOrder::kShuffled, 7);
    EXPECT_NE(shuffled, ascending);
    EXPECT_EQ(shuffled.back(), 0);
    EXPECT_TRUE(std::is_permutation(shuffled.begin(), shuffled.end(), ascending.begin()));
    EXPECT_EQ(ListedNumbers(ListingOrder::kShuffled, 7), shuffled);
    EXPECT_NE(ListedNumbers(ListingOrder::kShuffled, 8), shuffled);
}

TEST(KavrelsimProtocolWords, TheyAreFactoryValuesAndNeedTheirItems) {
    ParameterTable table = DefaultTable(Language::kChinese);
    PutProtocolWords(table);
    Device d(DeviceOptions{}, table, {}, {});
    d.PowerOn(milliseconds(0));
    d.Receive("AT+TEST\rAT+SET=12,HB\rAT+SET=39,OK\rAT+RESTORE\r", kCommandLine, milliseconds(10));
    EXPECT_EQ(d.Table().Listing(), table.Listing());
    EXPECT_NE(table.Listing().find("\r\n12," + table.Find(12)->name + ",OK\r\n"),
              std::string::npos);
    ParameterTable loaded = TableFromParamText("3,a,x\n12,b,y\n39,c,z\n");
    EXPECT_THROW(PutProtocolWords(loaded), std::runtime_error);  // no item 14
}

// A junk line, trickling (100 ms) or babbling: it answers nothing, carries
// only junk at the AT rate, and the seed repeats it.
class KavrelsimJunkLine : public KavrelsimFaults, public ::testing::WithParamInterface<bool> {
protected:
    Device& MakeJunk(std::uint64_t seed = 1) {
        Faults f;
        f.seed = seed;
        f.lineBabble = GetParam();
        f.lineTrickle = GetParam() ? milliseconds(0) : milliseconds(100);
        return Make(f);
    }
};

TEST_P(KavrelsimJunkLine, AnswersNothingAndCarriesOnlyJunk) {
    MakeJunk();
    std::string junk = Say("AT+TEST\r", milliseconds(10));
    for (int t = 20; t <= 1000; t += 10) {
        junk += device_->TakeOutput(milliseconds(t));
    }
    EXPECT_EQ(junk.size(), GetParam() ? 2880u : 10u);
    EXPECT_EQ(junk.find_first_of(std::string("\r\nOoKk\x11\x13")), std::string::npos);
    EXPECT_FALSE(device_->InConfigMode());
    EXPECT_EQ(Say("u", milliseconds(1200), kConsoleLine), "");  // lost at the loader's rate
    EXPECT_FALSE(device_->InBootLoader());
    EXPECT_EQ(Named(GetParam() ? "line-babble" : "line-trickle").size(), 1u);
    // A tool that does not read finds a bounded backlog, not ten minutes of it.
    device_->Advance(milliseconds(600000));
    EXPECT_LE(device_->TakeOutput(milliseconds(600000)).size(), Device::kMaxBacklog * 58);
    device_->PowerOff(milliseconds(600001));
    EXPECT_FALSE(device_->NextDeadline().has_value());
    auto first = [this](std::uint64_t seed) {
        MakeJunk(seed);
        return device_->TakeOutput(milliseconds(500));
    };
    EXPECT_EQ(first(3), first(3));
    EXPECT_NE(first(3), first(4));
}

INSTANTIATE_TEST_SUITE_P(Babble, KavrelsimJunkLine, ::testing::Bool());

// A line babbling result lines: whole "\r\nOK\r\n" lines at the same rate,
// whatever it is asked, and no answer of its own.
TEST_F(KavrelsimFaults, ALineBabblingOkCarriesNothingButWholeOkLines) {
    Faults f;
    f.lineBabbleOk = true;
    Make(f);
    std::string got = Say("AT+DTU&IMEI?\r", milliseconds(10));
    for (int t = 20; t <= 1000; t += 10) {
        got += device_->TakeOutput(milliseconds(t));
    }
    std::string lines;
    while (lines.size() < 2880) {
        lines += "\r\nOK\r\n";
    }
    EXPECT_EQ(got, lines);
    EXPECT_EQ(Named("line-babble-ok").size(), 1u);
}

TEST_F(KavrelsimFaults, EndlessListingRunsRoundUntilTheNextCommand) {
    Faults f;
    f.endlessListing = milliseconds(50);
    Make(f);
    Say("AT+TEST\r");
    EXPECT_TRUE(Say("AT+GETDV=0\r").ends_with("\r\n40,TCP Keepalive,120\r\n"));
    EXPECT_EQ(device_->TakeOutput(milliseconds(149)), "");
    const std::string more = device_->TakeOutput(milliseconds(150 + 20 * 50));
    EXPECT_TRUE(more.starts_with("41,Item 41,1\r\n42,Item 42,2\r\n")) << more;
    EXPECT_TRUE(more.ends_with("\r\n60,Item 60,20\r\n1,Work Mode,21\r\n")) << more;
    EXPECT_EQ(Say("AT+DTU&IMEI?\r", milliseconds(1175)), "\r\n860000000000001\r\nOK\r\n");
    EXPECT_EQ(device_->TakeOutput(milliseconds(5000)), "");
    EXPECT_EQ(Named("endless-listing").back()["lines"], 21);
}

// Which devices of a batch got which fault, from the events alone.
std::vector<std::pair<std::string, std::string>> BatchFaults(double rate, std::uint64_t seed) {
    EventRecorder recorder;
    BenchOptions o;
    o.bootDelay = milliseconds(0);
    o.devices = 40;
    o.factory = DefaultTable(Language::kEnglish);
    o.faultRate = rate;
    o.faults.seed = seed;
    Bench bench(o, recorder.Sink());
    for (int i = 0; i < 40; ++i) {
        bench.PortOpened(milliseconds(i * 10));
        bench.Advance(milliseconds(i * 10 + 1));
        bench.PortClosed(milliseconds(i * 10 + 2));
    }
    std::vector<std::pair<std::string, std::string>> out;
    for (const auto& e : recorder.Named("fault")) {
        out.emplace_back(e["imei"], e["fault"]);
    }
    return out;
}

TEST(KavrelsimBatchFaults, EachDeviceDrawsOnItsOwnAndTheSeedRepeatsTheRun) {
    EXPECT_TRUE(BatchFaults(0, 1).empty());
    auto all = BatchFaults(1, 9);
    ASSERT_EQ(all.size(), 40u);
    EXPECT_EQ(all[0].first, "860000000000001");
    EXPECT_EQ(all[39].first, "860000000000040");
    EXPECT_EQ(all, BatchFaults(1, 9));
    EXPECT_NE(all, BatchFaults(1, 10));
    auto some = BatchFaults(0.3, 9);
    EXPECT_GT(some.size(), 3u);
    EXPECT_LT(some.size(), 25u);
    // The mix reaches every kind in a batch this size.
    std::set<std::string> kinds;
    for (const auto& [imei, fault] : all) {
        kinds.insert(fault.substr(0, fault.find(' ', fault.starts_with("unplug") ? 7 : 0)));
    }
    EXPECT_GE(kinds.size(), 7u);
}

}  // namespace
}  // namespace kavrelsim
