// Records as tests make them: every field filled, so that a store that drops
// or mangles one is caught by comparing what comes back.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "records/DeviceRecord.h"
#include "records/RecordId.h"

namespace testsupport {

// GB18030 for "参数" and "值": bytes that are not UTF-8, as a Chinese device sends them.
inline const std::string kGbName = "\xB2\xCE\xCA\xFD";
inline const std::string kGbValue = "\xD6\xB5";

inline records::DeviceRecord SampleRecord(const std::string& imei, const std::string& startedAt,
                                          records::Result result = records::Result::Ok,
                                          const std::string& station = "line1-st3") {
    records::DeviceRecord record;
    record.id = records::NewRecordId();
    record.startedAt = startedAt;
    record.finishedAt = startedAt;
    record.station = station;
    record.operatorName = "王工";
    record.port = "/dev/ttyUSB0";
    record.command = "batch";
    record.imei = imei;
    record.version = "KV-2.1.7";
    record.result = result;
    record.message = "OK";
    record.messageId = "IDS_CLI_READ_BACK_HOLDS";
    record.profileName = "profile.txt";
    record.profileSha256 = std::string(64, 'a');
    record.firmwareName = "fw.bin";
    record.firmwareSha256 = std::string(64, 'b');
    record.firmwareBytes = 65536;
    record.toolVersion = "0.1.0";
    record.codePage = "GB18030";
    record.items = {
        {1, "APN", std::string("cmnet"), std::string("internet"), std::string("internet"), true,
         "values.csv, row 2"},
        {7, kGbName, kGbValue, kGbValue + "1", std::nullopt, false, ""},
        {0, "NoSuchKey", std::nullopt, std::string("x"), std::nullopt, false, ""},
    };
    return record;
}

// A start time "number" seconds (and as many milliseconds) after
// 2026-12-09T10:00:00.000Z, in the records' form: a later number, a later time.
inline std::string SampleTime(int number) {
    const int seconds = 10 * 3600 + number;
    char time[40];
    std::snprintf(time, sizeof time, "2026-12-%02dT%02d:%02d:%02d.%03dZ", 9 + seconds / 86400,
                  seconds / 3600 % 24, seconds / 60 % 60, seconds % 60, number % 1000);
    return time;
}

// Record n of a series: started n seconds after the first, ok when n is even,
// at one of three stations ("station-0" to "station-2"), an IMEI of its own.
inline records::DeviceRecord Numbered(int n) {
    return SampleRecord("86" + std::to_string(1000000000000 + n), SampleTime(n),
                        n % 2 == 0 ? records::Result::Ok : records::Result::Failed,
                        "station-" + std::to_string(n % 3));
}

// Records 0 to count-1 of the series, each at its number's place.
inline std::vector<records::DeviceRecord> NumberedSeries(int count) {
    std::vector<records::DeviceRecord> series;
    for (int n = 0; n < count; ++n) {
        series.push_back(Numbered(n));
    }
    return series;
}

// The record as a listing gives it back: no items.
inline records::DeviceRecord Listed(records::DeviceRecord record) {
    record.items.clear();
    return record;
}

}  // namespace testsupport
