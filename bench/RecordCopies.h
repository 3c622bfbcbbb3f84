// Large records stores made quickly for the benches: the store itself adds one
// record, so that it is written exactly as the tools write it, and one SQL
// statement a table copies it over and over, each copy with an id, a start
// and an IMEI of its own. A million records take seconds, not the hours that
// a million synchronous commits would.
#pragma once

#include <string>

#include "records/DeviceRecord.h"

namespace bench {

// Record n of a filled store belongs to device n % devices: with as many
// devices as half the records, every device has two.
std::string CopiedImei(long n, long devices);

struct Copies {
    long count = 0;    // records in all, the one the store added included
    long devices = 0;  // distinct IMEIs among them
    int series = 0;    // in every copy's id: stores filled apart never share one
    std::string station;
};

// The record the store adds, with three items; the copies are made of it.
records::DeviceRecord CopiedTemplate(const Copies& copies);

// A new SQLite file of `copies.count` records; queued: each also in the queue
// for the server, as at a station whose server has been away.
void FillSqlite(const std::string& path, const Copies& copies, bool queued);

// The same on a PostgreSQL database (uri), its statistics brought up to date
// afterwards as the server's autovacuum would soon do.
void FillPostgres(const std::string& uri, const Copies& copies);

// A line's records as its stations would have left them on the server: record
// n made at station n % stations ("line-st01" on), on port n / stations % 8,
// the records evenly spread over the days up to the server's now. One in 20
// of each station's records fails, with one of a handful of messages, and
// its device comes back for another try at that station's next record.
// Every IMEI has its check digit.
struct LineRecords {
    long count = 0;
    int stations = 20;
    int days = 35;
};
void FillLine(const std::string& uri, const LineRecords& line);

// The fifteen digits of an IMEI: fourteen and their Luhn check digit.
std::string WithCheckDigit(const std::string& fourteen);

}  // namespace bench
