// A station job as the window's form names it: the first thing wrong is the
// refusal, in the order the operator meets the fields, and nothing is
// opened; a job that passes comes back read, parsed and counted.
#include <gtest/gtest.h>

#include <string>
#include <variant>

#include "LanguageForTheTest.h"
#include "TempDir.h"
#include "TestFiles.h"
#include "framework/StringTable.h"
#include "job/JobCheck.h"
#include "res/RecordIds.h"
#include "res/ResourceIds.h"
#include "res/StationIds.h"

namespace {

class JobCheck : public ::testing::Test {
protected:
    JobCheck() {
        testsupport::WriteFile(Profile(), "2. Server=10.1.2.3\r\n");
        testsupport::WriteFile(Worker(), "");
    }
    std::string Profile() const { return (dir_.Path() / "profile.ini").string(); }
    std::string Worker() const { return (dir_.Path() / "tirvelctl").string(); }

    job::JobRequest Request() const {
        job::JobRequest request;
        request.file = Profile();
        request.ports = "/dev/ttyUSB0,/dev/ttyUSB1";
        request.records = "off";
        request.report = (dir_.Path() / "report.csv").string();
        request.workerProgram = Worker();
        return request;
    }

    static std::string Refusal(const job::JobRequest& request) {
        const auto checked = job::CheckJob(request);
        return std::holds_alternative<std::string>(checked) ? std::get<std::string>(checked)
                                                            : std::string("(accepted)");
    }

    testsupport::EnglishForTheTest english_;
    testsupport::TempDir dir_;
};

TEST_F(JobCheck, TheFirstWrongFieldIsTheRefusal) {
    job::JobRequest noFile = Request();
    noFile.file.clear();
    noFile.ports.clear();
    EXPECT_EQ(Refusal(noFile), fw::LoadText(res::IDS_STATION_NO_FILE));

    job::JobRequest absent = Request();
    absent.file = (dir_.Path() / "absent.ini").string();
    EXPECT_EQ(Refusal(absent), fw::LoadText(res::IDS_CLI_CANNOT_READ_FILE, {absent.file}));

    job::JobRequest noPorts = Request();
    noPorts.ports.clear();
    noPorts.count = "0";
    EXPECT_EQ(Refusal(noPorts), fw::LoadText(res::IDS_STATION_NO_PORTS));

    for (const char* count : {"0", "1000000000", "0x10", "-1"}) {
        job::JobRequest badCount = Request();
        badCount.count = count;
        EXPECT_EQ(Refusal(badCount), fw::LoadText(res::IDS_STATION_BAD_COUNT)) << count;
    }

    job::JobRequest reportOverProfile = Request();
    reportOverProfile.report = Profile();
    EXPECT_EQ(Refusal(reportOverProfile),
              fw::LoadText(res::IDS_CLI_OUTPUT_IS_INPUT, {Profile(), Profile()}));

    job::JobRequest reportOverValues = Request();
    reportOverValues.values = reportOverValues.report = (dir_.Path() / "v.csv").string();
    testsupport::WriteFile(reportOverValues.values, "IMEI,2\n");
    EXPECT_EQ(Refusal(reportOverValues),
              fw::LoadText(res::IDS_CLI_OUTPUT_IS_INPUT,
                           {reportOverValues.values, reportOverValues.values}));

    job::JobRequest poolWithoutRecords = Request();
    poolWithoutRecords.pool = "ids";
    EXPECT_EQ(Refusal(poolWithoutRecords), fw::LoadText(res::IDS_POOL_NEEDS_RECORDS, {"ids"}));
    // An update takes no pool.
    poolWithoutRecords.job = station::StationJob::Update;
    EXPECT_EQ(Refusal(poolWithoutRecords), "(accepted)");

    job::JobRequest noWorker = Request();
    noWorker.workerProgram = (dir_.Path() / "missing").string();
    EXPECT_EQ(Refusal(noWorker),
              fw::LoadText(res::IDS_STATION_NO_WORKER_PROGRAM, {noWorker.workerProgram}));
}

TEST_F(JobCheck, AJobThatPassesIsReadParsedAndCounted) {
    job::JobRequest request = Request();
    request.count = "123456789";  // as many as tirvelctl takes
    const auto checked = job::CheckJob(request);
    ASSERT_TRUE(std::holds_alternative<job::CheckedJob>(checked)) << std::get<std::string>(checked);
    const job::CheckedJob& job = std::get<job::CheckedJob>(checked);
    EXPECT_EQ(job.bytes, "2. Server=10.1.2.3\r\n");
    ASSERT_EQ(job.ports.size(), 2u);
    EXPECT_EQ(job.ports[1].devicePath, "/dev/ttyUSB1");
    EXPECT_EQ(job.count, 123456789);
    EXPECT_EQ(job.recording.where.kind, records::RecordsSetting::Kind::Off);
}

}  // namespace
