#include "job/RecordsForwarding.h"

#include "framework/StringTable.h"
#include "job/DeviceRecorder.h"
#include "records/SqlitePoolStore.h"
#include "records/SqliteRecordStore.h"

#include "records/Forwarder.h"
#include "records/LinePoolStore.h"
#include "records/ServerPoolStore.h"
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

std::unique_ptr<records::PoolStore> OpenPoolLookupStore(const records::RecordsSetting& where) {
    if (where.kind == records::RecordsSetting::Kind::Server) {
        return records::OpenServerPoolStore(where.serverUri, kServerTimeout);
    }
    return std::make_unique<records::SqlitePoolStore>(where.localPath);
}

std::unique_ptr<records::PoolStore> OpenPoolDrawStore(const records::RecordsSetting& where,
                                                      const std::string& station, int ports) {
    if (where.kind == records::RecordsSetting::Kind::Server) {
        return std::make_unique<records::LinePoolStore>(where.serverUri, where.localPath, station,
                                                        records::LinePoolStore::BlockFor(ports));
    }
    return std::make_unique<records::SqlitePoolStore>(where.localPath);
}

RecordsForwarding::~RecordsForwarding() = default;

}  // namespace job
