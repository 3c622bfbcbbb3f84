#include "job/DeviceRecorder.h"

#include <fstream>
#include <vector>

#include "cfgfile/NativePath.h"
#include "common/Sha256.h"
#include "framework/CodePage.h"
#include "framework/Language.h"
#include "framework/StringTable.h"
#include "records/ItemText.h"
#include "records/RecordId.h"
#include "records/SqliteRecordStore.h"
#include "res/RecordIds.h"
#include "res/ResourceIds.h"
#include "res/StationIds.h"
#include "res/StringNames.h"

namespace job {

namespace {

// A file's SHA-256 and size, read in pieces: an image may be 64 MB.
void DigestFile(const std::string& path, std::string& digest, std::optional<std::int64_t>& size) {
    std::ifstream in(cfgfile::NativePath(path), std::ios::binary);
    if (!in) {
        return;
    }
    common::Sha256 sha;
    std::int64_t total = 0;
    std::vector<char> block(1 << 16);
    while (in.read(block.data(), static_cast<std::streamsize>(block.size())) || in.gcount() > 0) {
        sha.Update(std::string_view(block.data(), static_cast<std::size_t>(in.gcount())));
        total += in.gcount();
    }
    digest = sha.FinishHex();
    size = total;
}

}  // namespace

std::vector<std::string> RecordingOptions(const RecordingSettings& settings,
                                          const std::string& file) {
    std::vector<std::string> options{"--records"};
    switch (settings.where.kind) {
        case records::RecordsSetting::Kind::Off:
            options.push_back("off");
            break;
        case records::RecordsSetting::Kind::Local:
            options.push_back("sqlite:" + settings.where.localPath);
            break;
        case records::RecordsSetting::Kind::Server:
            options.push_back(settings.where.serverUri);
            break;
    }
    for (const auto& [option, value] :
         {std::pair<const char*, const std::string*>{"--station", &settings.station},
          {"--operator", &settings.operatorName},
          {"--record-name", &file}}) {
        if (!value->empty()) {
            options.insert(options.end(), {option, *value});
        }
    }
    return options;
}

std::string RecordsPlace(const records::RecordsSetting& where) {
    return where.kind == records::RecordsSetting::Kind::Server
               ? records::WithoutPassword(where.serverUri)
               : where.localPath;
}

std::string StoreFailureText(const std::exception& failure) {
    const auto* store = dynamic_cast<const records::StoreError*>(&failure);
    switch (store != nullptr ? store->kind() : records::StoreError::Kind::Other) {
        case records::StoreError::Kind::Full:
            return fw::LoadText(res::IDS_RECORDS_WHY_FULL);
        case records::StoreError::Kind::Corrupt:
            return fw::LoadText(res::IDS_RECORDS_WHY_CORRUPT);
        case records::StoreError::Kind::Newer:
            return fw::LoadText(res::IDS_RECORDS_WHY_NEWER);
        case records::StoreError::Kind::Open:
            return fw::LoadText(res::IDS_RECORDS_WHY_OPEN, {failure.what()});
        case records::StoreError::Kind::Other:
            break;
    }
    return fw::LoadText(res::IDS_RECORDS_WHY_OTHER, {failure.what()});
}

std::function<std::string(const std::string&)> HistoryLookup(const records::RecordsSetting& where) {
    if (where.kind == records::RecordsSetting::Kind::Off || where.localPath.empty()) {
        return {};
    }
    // Opened on the first device, and kept: a station asks for every one.
    auto store = std::make_shared<std::unique_ptr<records::SqliteRecordStore>>();
    return [store, path = where.localPath](const std::string& imei) -> std::string {
        if (imei.empty()) {
            return std::string();
        }
        try {
            if (!*store) {
                *store = std::make_unique<records::SqliteRecordStore>(path);
            }
            records::RecordQuery query;
            query.imei = fw::EncodeAnsi(imei);
            query.limit = 1;
            const std::vector<records::DeviceRecord> last = (*store)->Find(query);
            if (last.empty()) {
                return fw::LoadText(res::IDS_STATION_NEVER_WORKED);
            }
            const records::DeviceRecord& r = last.front();
            // "2026-12-08T10:11:12.345Z" as "2026-12-08 10:11Z": short enough for a tile.
            const std::string when =
                r.startedAt.substr(0, 10) + " " + r.startedAt.substr(11, 5) + "Z";
            const fw::UINT verdict = r.result == records::Result::Ok ? res::IDS_STATION_VERDICT_OK
                                     : r.result == records::Result::Failed
                                         ? res::IDS_STATION_VERDICT_FAILED
                                         : res::IDS_STATION_CANCELLED;
            return fw::LoadText(res::IDS_STATION_LAST_WORKED,
                                {when, fw::LoadText(verdict), r.station});
        } catch (const std::exception&) {
            return std::string();
        }
    };
}

DeviceRecorder::DeviceRecorder() = default;

DeviceRecorder::DeviceRecorder(RecordingSettings settings)
    : enabled_(settings.where.kind != records::RecordsSetting::Kind::Off),
      settings_(std::move(settings)) {
    if (settings_.station.empty()) {
        settings_.station = HostName();
    }
    if (settings_.operatorName.empty()) {
        settings_.operatorName = SignedInUser();
    }
}

DeviceRecorder::~DeviceRecorder() = default;

bool DeviceRecorder::Open(Messages& said) {
    if (!enabled_ || store_) {
        return true;
    }
    if (settings_.where.localPath.empty()) {
        said.Message(res::IDS_RECORDS_NO_FOLDER);
        return false;
    }
    try {
        store_ = std::make_unique<records::SqliteRecordStore>(
            settings_.where.localPath, settings_.where.kind == records::RecordsSetting::Kind::Server
                                           ? records::SqliteRecordStore::Queue::ForServer
                                           : records::SqliteRecordStore::Queue::None);
    } catch (const std::exception& e) {
        said.Message(res::IDS_RECORDS_CANNOT_READ,
                     {settings_.where.localPath, StoreFailureText(e)});
        return false;
    }
    return true;
}

void DeviceRecorder::Start() {
    record_ = records::DeviceRecord();
    record_.id = records::NewRecordId();
    record_.startedAt = records::UtcNow();
}

bool DeviceRecorder::Keep(const std::string& port, const std::string& imei,
                          const std::string& version, records::Result result,
                          const std::string& message, fw::UINT messageId, Messages& said) {
    if (!enabled_ || !Started()) {
        return true;
    }
    records::DeviceRecord record = std::move(record_);
    record_ = records::DeviceRecord();
    record.finishedAt = records::UtcNow();
    record.station = settings_.station;
    record.operatorName = settings_.operatorName;
    record.port = port;
    record.command = settings_.command;
    record.imei = imei;
    record.version = version;
    record.result = result;
    record.message = message;
    const char* name = messageId != 0 ? res::StringName(messageId) : nullptr;
    record.messageId = name != nullptr ? name : std::string();
    record.profileName = settings_.profileName;
    record.profileSha256 = settings_.profileSha256;
    if (settings_.firmwareSha256.empty() && !settings_.firmwarePath.empty()) {
        DigestFile(settings_.firmwarePath, settings_.firmwareSha256, settings_.firmwareBytes);
    }
    record.firmwareName = settings_.firmwareName;
    record.firmwareSha256 = settings_.firmwareSha256;
    record.firmwareBytes = settings_.firmwareBytes;
    record.toolVersion = TIRVEL_VERSION;
    record.codePage = records::CodePageOf(fw::CurrentLanguage());
    try {
        if (!Open(said)) {
            return false;
        }
        store_->Add(record);
    } catch (const std::exception& e) {
        said.Message(res::IDS_RECORD_NOT_KEPT, {settings_.where.localPath, StoreFailureText(e)});
        return false;
    }
    if (kept_) {
        kept_();
    }
    return true;
}

void DeviceRecorder::KeepRow(station::DeviceRow& row, const std::string& imei,
                             const std::string& version, bool interrupted, Messages& said) {
    const records::Result result = interrupted ? records::Result::Interrupted
                                   : row.ok    ? records::Result::Ok
                                               : records::Result::Failed;
    if (!Keep(row.port, imei, version, result, row.message, said.LastMessageId(), said)) {
        row.ok = false;
        row.message = said.LastMessage();
    }
}

}  // namespace job
