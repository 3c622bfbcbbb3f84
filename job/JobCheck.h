// A station job as a window's form names it, checked whole before any port
// opens, with the same rules as tirvelctl: the file read once, the ports, the
// count, a batch's values table, where the records go, a report that is none
// of the job's inputs, a records file that opens, and a batch's value pool.
// What comes back is the job ready for a supervisor, or why it cannot run, in
// the operator's language.
#pragma once

#include <string>
#include <variant>
#include <vector>

#include "job/DeviceRecorder.h"
#include "station/PortList.h"
#include "station/StationJob.h"

namespace job {

struct JobRequest {
    station::StationJob job = station::StationJob::Batch;
    std::string file;     // UTF-8 path
    std::string ports;    // as typed
    std::string count;    // as typed; empty: no count
    std::string records;  // as tirvelctl's --records takes it; empty: the setting in force
    std::string report;   // the report's path
    std::string values;   // a batch's values table, as tirvelctl's --values takes it; empty: none
    std::string pool;     // a batch's value pool, by name; empty: none
    std::string workerProgram;
};

struct CheckedJob {
    std::string bytes;        // the file's, read once
    std::string valuesBytes;  // the values table's, read once; empty: none
    std::vector<station::StationPort> ports;
    int count = 0;  // 0: no count
    RecordingSettings recording;
};

std::variant<CheckedJob, std::string> CheckJob(const JobRequest& request);

}  // namespace job
