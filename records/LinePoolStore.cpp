#include "records/LinePoolStore.h"

#include <utility>

namespace records {

namespace {

bool Unreachable(const StoreError& error) {
    return error.kind() == StoreError::Kind::Open;
}

}  // namespace

LinePoolStore::LinePoolStore(const std::string& uri, const std::string& localPath,
                             std::string station, int block,
                             std::chrono::milliseconds connectTimeout)
    : station_(std::move(station)),
      block_(block),
      local_(localPath, SqlitePoolStore::Queue::ForServer),
      server_(OpenServerPoolStore(uri, connectTimeout, false)) {}

void LinePoolStore::Import(const std::string& name, const std::vector<std::string>& columns,
                           const std::vector<PoolImportRow>& rows) {
    server_->Import(name, columns, rows);
}

int LinePoolStore::SendQueued() {
    int sent = 0;
    for (const PoolRow& tie : local_.QueuedTies()) {
        try {
            server_->TieReserved(tie.pool, tie);
        } catch (const PoolError& refused) {
            // Freed on the server meanwhile (by hand): kept queued, and kept
            // the device's here, rather than drawn by another device.
            if (refused.reason() == PoolError::Reason::NotTied) {
                continue;
            }
            throw;
        }
        local_.TieSent(tie);
        ++sent;
    }
    return sent;
}

void LinePoolStore::TopUp(const std::string& name) {
    // The server's pool, whose import the file's block must be of: rows kept
    // for an earlier pool of the name are forgotten before they are counted.
    const PoolStatus server = server_->Status(name);
    local_.ForgetOtherImport(server);
    const std::int64_t left = local_.ReservedLeft(name, station_);
    if (left >= block_) {
        return;
    }
    const std::vector<PoolRow> reserved =
        server_->Reserve(name, station_, static_cast<int>(block_ - left));
    local_.KeepReserved(server, reserved);
}

std::optional<PoolRow> LinePoolStore::FromBlock(const std::string& name, const std::string& imei) {
    try {
        return local_.Draw(name, imei, station_);
    } catch (const PoolError& unknown) {
        if (unknown.reason() != PoolError::Reason::Unknown) {
            throw;
        }
    }
    return std::nullopt;
}

std::optional<PoolRow> LinePoolStore::Draw(const std::string& name, const std::string& imei,
                                           const std::string&) {
    try {
        // The ties made offline first: a device worked again finds its row.
        SendQueued();
        std::optional<PoolRow> row = server_->Draw(name, imei, station_);
        if (!row) {
            // The pool's free rows are gone, but what is left of this
            // station's block is its own to give: taken as a draw offline
            // takes it, under the file's lock, and its tie sent at once.
            row = FromBlock(name, imei);
            if (row) {
                SendQueued();
            }
            return row;
        }
        try {
            TopUp(name);
        } catch (const StoreError& error) {
            // The row is drawn; the block is topped up at the next draw.
            if (!Unreachable(error)) {
                throw;
            }
        }
        return row;
    } catch (const StoreError& error) {
        if (!Unreachable(error)) {
            throw;
        }
        const std::optional<PoolRow> row = FromBlock(name, imei);
        if (!row) {
            throw StoreError(StoreError::Kind::Open, std::string(error.what()) +
                                                         "; no rows of pool " + name +
                                                         " are left reserved for this station");
        }
        return row;
    }
}

void LinePoolStore::MarkWritten(const std::string& name, std::int64_t rowId,
                                const std::string& imei) {
    if (local_.TiedUnsent(name, rowId, imei).has_value()) {
        local_.MarkWritten(name, rowId, imei);
        try {
            SendQueued();
        } catch (const StoreError& error) {
            if (!Unreachable(error)) {
                throw;
            }
        }
        return;
    }
    server_->MarkWritten(name, rowId, imei);
}

bool LinePoolStore::Release(const std::string& name, std::int64_t rowId, const std::string& imei) {
    const std::optional<bool> unsent = local_.TiedUnsent(name, rowId, imei);
    if (unsent == true) {
        return local_.Release(name, rowId, imei);
    }
    // The server has the tie: undone there first, then here.
    const bool released = server_->Release(name, rowId, imei);
    if (released && unsent.has_value()) {
        local_.Forget(name, rowId);
    }
    return released;
}

PoolStatus LinePoolStore::Status(const std::string& name) {
    try {
        PoolStatus status = server_->Status(name);
        local_.ForgetOtherImport(status);
        return status;
    } catch (const StoreError& error) {
        // Cut off, a station still knows the pools it keeps a block of:
        // their columns, and what of the block is left.
        if (!Unreachable(error)) {
            throw;
        }
        try {
            return local_.Status(name);
        } catch (const PoolError&) {
            throw error;
        }
    }
}

std::vector<PoolStatus> LinePoolStore::List() {
    return server_->List();
}

std::vector<PoolRow> LinePoolStore::ForImei(const std::string& imei) {
    return server_->ForImei(imei);
}

}  // namespace records
