// tirvelctl against a device that sends lines of its own, repeats or loses
// lines of its answers, or leaves items out of its listing: every exit 0 is
// what the device holds, and a device with items is never reported empty.
#include <gtest/gtest.h>

#include <map>

#include "SimProcess.h"
#include "ToolRunTest.h"

namespace {

using testsupport::Contains;
using testsupport::ReadFile;

constexpr const char* kParams =
    "1,Mode,1\r\n2,APN,cmnet\r\n3,Server,10.0.0.1\r\n4,Port,5000\r\n5,User,guest\r\n"
    "6,Heartbeat,60\r\n7,Interval,30\r\n8,Retries,3\r\n";
const std::map<int, std::string> kFactory = {{1, "1"},    {2, "cmnet"}, {3, "10.0.0.1"},
                                             {4, "5000"}, {5, "guest"}, {6, "60"},
                                             {7, "30"},   {8, "3"}};

class DialogueFaults : public testsupport::ToolRunTest {
protected:
    void StartDevice(std::vector<std::string> options) {
        options.insert(options.end(),
                       {"--link", Link(), "--boot-ms", "200", "--events", Events().string(),
                        "--state", State().string(), "--params", DeviceTable(kParams)});
        sim_ = std::make_unique<testsupport::SimProcess>(options);
    }
    testsupport::RunResult Tirvelctl(std::vector<std::string> args) {
        args.insert(args.begin(), {"--lang", "en", "--device", Link()});
        auto run = StartRun(TIRVELCTL_PATH, args);
        return Finish(*run, 120s);
    }
    // What `read --json` listed, by number.
    static std::map<int, std::string> Listed(const std::string& out) {
        std::map<int, std::string> values;
        const Json document = Json::parse(out);
        for (const Json& item : document["items"]) {
            values[item["number"].get<int>()] = item["value"].get<std::string>();
        }
        return values;
    }
    // The device's values now: the factory table with what it stored since.
    std::map<int, std::string> DeviceValues() const {
        std::map<int, std::string> values = kFactory;
        if (fs::exists(State())) {
            values = testsupport::StoredValues(State());
        }
        return values;
    }

    std::unique_ptr<testsupport::SimProcess> sim_;
};

// A line of the device's own just before every echo and after every answer:
// each command's answer is its own, so read, export, apply and restore all get
// through and say what the device holds.
TEST_F(DialogueFaults, LinesOfTheDevicesOwnAnswerNothing) {
    StartDevice({"--stray-lines", "1", "--seed", "3"});
    const testsupport::RunResult read = Tirvelctl({"--json", "read"});
    ASSERT_EQ(read.exit, 0) << read.err;
    EXPECT_EQ(Listed(read.out), kFactory);
    EXPECT_TRUE(Contains(read.err, "8 items")) << read.err;

    const fs::path exported = dir_.Path() / "device.txt";
    const testsupport::RunResult exportRun = Tirvelctl({"export", exported.string()});
    ASSERT_EQ(exportRun.exit, 0) << exportRun.err;
    EXPECT_TRUE(Contains(ReadFile(exported), "\r\n8. Retries=3\r\n")) << ReadFile(exported);

    const fs::path profile = dir_.Path() / "p.txt";
    testsupport::WriteFile(profile, "[CFG]\r\n2. APN=internet\r\n7. Interval=45\r\n");
    const testsupport::RunResult apply = Tirvelctl({"apply", profile.string()});
    ASSERT_EQ(apply.exit, 0) << apply.err;
    EXPECT_EQ(DeviceValues().at(2), "internet");
    EXPECT_EQ(DeviceValues().at(7), "45");

    const testsupport::RunResult restore = Tirvelctl({"--json", "restore"});
    ASSERT_EQ(restore.exit, 0) << restore.err;
    EXPECT_EQ(DeviceValues(), kFactory);
    std::map<int, std::string> changed;
    const Json document = Json::parse(restore.out);
    for (const Json& item : document["changed"]) {
        changed[item["number"].get<int>()] = item["now"].get<std::string>();
    }
    EXPECT_EQ(changed, (std::map<int, std::string>{{2, "cmnet"}, {7, "30"}})) << restore.out;
    EXPECT_FALSE(EventsOf("stray-line").empty());
}

// Item 7 is never listed: it is in no output and no file, and the export
// applies back to the same device.
TEST_F(DialogueFaults, AnItemTheDeviceDoesNotListIsNeitherShownNorExported) {
    StartDevice({"--listing-gaps", "7"});
    const testsupport::RunResult read = Tirvelctl({"--json", "read"});
    ASSERT_EQ(read.exit, 0) << read.err;
    std::map<int, std::string> expected = kFactory;
    expected.erase(7);
    EXPECT_EQ(Listed(read.out), expected);
    EXPECT_TRUE(Contains(read.err, "7 items")) << read.err;

    const fs::path exported = dir_.Path() / "device.txt";
    ASSERT_EQ(Tirvelctl({"export", exported.string()}).exit, 0);
    EXPECT_FALSE(Contains(ReadFile(exported), "7. ")) << ReadFile(exported);
    const testsupport::RunResult apply = Tirvelctl({"apply", exported.string()});
    EXPECT_EQ(apply.exit, 0) << apply.err;
    EXPECT_TRUE(EventsOf("set").empty());
}

// Lines sent twice or lost, listings shuffled: each run may fail, but an exit
// 0 is the device's state, over several seeds.
TEST_F(DialogueFaults, RepeatedAndLostLinesNeverMakeAFalseSuccess) {
    // Each command's check runs only on its successes: each must have some.
    std::map<std::string, int> succeeded;
    for (int seed = 1; seed <= 4; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        sim_.reset();
        fs::remove(State());
        StartDevice({"--repeat-lines", "0.2", "--drop-lines", "0.03", "--stray-lines", "0.3",
                     "--listing-order", "shuffled", "--seed", std::to_string(seed)});
        const testsupport::RunResult read = Tirvelctl({"--json", "read"});
        if (read.exit == 0) {
            for (const auto& [number, value] : Listed(read.out)) {
                EXPECT_EQ(value, kFactory.at(number)) << number;
            }
        }
        const fs::path profile = dir_.Path() / "p.txt";
        testsupport::WriteFile(profile, "[CFG]\r\n3. Server=10.9.9.9\r\n");
        const testsupport::RunResult apply = Tirvelctl({"apply", profile.string()});
        if (apply.exit == 0) {
            EXPECT_EQ(DeviceValues().at(3), "10.9.9.9");
        }
        const testsupport::RunResult restore = Tirvelctl({"restore"});
        if (restore.exit == 0) {
            EXPECT_EQ(DeviceValues(), kFactory);
        }
        succeeded["read"] += read.exit == 0;
        succeeded["apply"] += apply.exit == 0;
        succeeded["restore"] += restore.exit == 0;
    }
    for (const auto& [command, runs] : succeeded) {
        EXPECT_GT(runs, 0) << command << " never succeeded: its success was never checked";
    }
}

}  // namespace
