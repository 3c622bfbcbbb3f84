#include "job/RecordsForwarding.h"

#include "framework/StringTable.h"
#include "job/DeviceRecorder.h"
#include "records/SqliteRecordStore.h"

#include "records/Forwarder.h"
#include "records/ServerRecordStore.h"

namespace job {

RecordsForwarding::RecordsForwarding(const records::RecordsSetting& where) {
    if (where.kind == records::RecordsSetting::Kind::Server) {
        pusher_ = std::make_unique<records::BackgroundPusher>(where.localPath, where.serverUri);
    }
}

void RecordsForwarding::Wake() {
    if (pusher_) {
        pusher_->Wake();
    }
}

void RecordsForwarding::Finish(std::chrono::milliseconds limit) {
    if (pusher_) {
        pusher_->Flush(limit);
    }
}

std::unique_ptr<records::RecordStore> OpenLookupStore(const records::RecordsSetting& where) {
    if (where.kind == records::RecordsSetting::Kind::Server) {
        return records::OpenServerStore(where.serverUri, kServerTimeout);
    }
    return std::make_unique<records::SqliteRecordStore>(where.localPath);
}

RecordsForwarding::~RecordsForwarding() = default;

}  // namespace job
