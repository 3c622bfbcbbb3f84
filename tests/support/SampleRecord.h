// Records as tests make them: every field filled, so that a store that drops
// or mangles one is caught by comparing what comes back.
#pragma once

#include <string>

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
        {1, "APN", std::string("cmnet"), std::string("internet"), std::string("internet"), true},
        {7, kGbName, kGbValue, kGbValue + "1", std::nullopt, false},
        {0, "NoSuchKey", std::nullopt, std::string("x"), std::nullopt, false},
    };
    return record;
}

// The record as a listing gives it back: no items.
inline records::DeviceRecord Listed(records::DeviceRecord record) {
    record.items.clear();
    return record;
}

}  // namespace testsupport
