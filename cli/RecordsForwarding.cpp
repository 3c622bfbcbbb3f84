#include "cli/RecordsForwarding.h"

#include "cli/Commands.h"
#include "cli/DeviceRecorder.h"
#include "records/SqliteRecordStore.h"
#include "res/RecordIds.h"

#include "records/Forwarder.h"
#include "records/ServerRecordStore.h"

namespace cli {

namespace {

// A lookup or a push on demand has the operator waiting: long enough for a
// server across a busy network, short enough to say it is not there.
constexpr std::chrono::seconds kServerTimeout{10};

bool ToServer(const records::RecordsSetting& where) {
    return where.kind == records::RecordsSetting::Kind::Server;
}

}  // namespace

RecordsForwarding::RecordsForwarding(const records::RecordsSetting& where) {
    if (ToServer(where)) {
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

int PushRecordsNow(Console& console, const records::RecordsSetting& where) {
    const std::string server = RecordsPlace(where);
    int sent = 0;
    std::unique_ptr<records::SqliteRecordStore> local;
    try {
        local = std::make_unique<records::SqliteRecordStore>(
            where.localPath, records::SqliteRecordStore::Queue::ForServer);
    } catch (const std::exception& e) {
        console.Message(res::IDS_RECORDS_CANNOT_READ, {where.localPath, StoreFailureText(e)});
        return kExitFailed;
    }
    try {
        const auto store = records::OpenServerStore(where.serverUri, kServerTimeout);
        sent = records::PushQueued(*local, *store);
    } catch (const std::exception& e) {
        console.Message(res::IDS_RECORDS_PUSH_FAILED,
                        {server, StoreFailureText(e), std::to_string(local->QueuedCount())});
        return kExitFailed;
    }
    console.Message(res::IDS_RECORDS_PUSHED,
                    {std::to_string(sent), server, std::to_string(local->QueuedCount())});
    return kExitOk;
}

std::unique_ptr<records::RecordStore> OpenLookupStore(const records::RecordsSetting& where) {
    if (ToServer(where)) {
        return records::OpenServerStore(where.serverUri, kServerTimeout);
    }
    return std::make_unique<records::SqliteRecordStore>(where.localPath);
}

RecordsForwarding::~RecordsForwarding() = default;

}  // namespace cli
