#include "job/DevicePool.h"

#include <utility>

#include "res/RecordIds.h"

namespace job {

DevicePool::DevicePool(records::PoolStore& store, std::string name, std::string station)
    : store_(store), name_(std::move(name)), station_(std::move(station)) {}

std::optional<DrawnRow> DevicePool::Draw(const std::string& imei, Messages& said) {
    drawn_.reset();
    DrawnRow drawn;
    try {
        const records::PoolStatus status = store_.Status(name_);
        drawn_ = store_.Draw(name_, imei, station_);
        if (!drawn_) {
            said.Message(res::IDS_POOL_EMPTY, {name_});
            return std::nullopt;
        }
        for (const std::string& column : status.columns) {
            drawn.columns.push_back(ItemNamed(column));
        }
    } catch (const records::PoolError& error) {
        if (error.reason() == records::PoolError::Reason::Unknown) {
            said.Message(res::IDS_POOL_UNKNOWN, {name_});
        } else {
            said.Message(res::IDS_POOL_DRAW_FAILED, {name_, error.what()});
        }
        return std::nullopt;
    } catch (const records::StoreError& error) {
        said.Message(res::IDS_POOL_DRAW_FAILED, {name_, error.what()});
        return std::nullopt;
    }
    // Cells and columns come from one import: a row of another shape is
    // a store that has been tampered with, and is no row to write.
    if (drawn_->cells.size() != drawn.columns.size()) {
        said.Message(res::IDS_POOL_DRAW_FAILED,
                     {name_, "row " + std::to_string(drawn_->id) +
                                 " does not have a cell for every column"});
        drawn_.reset();
        return std::nullopt;
    }
    drawn.cells = drawn_->cells;
    drawn.source = "pool " + name_ + " row " + std::to_string(drawn_->id);
    return drawn;
}

void DevicePool::NothingSent() {
    if (!drawn_ || !drawn_->drawnNow) {
        return;
    }
    try {
        store_.Release(name_, drawn_->id, drawn_->imei);
    } catch (const records::StoreError&) {
        // Kept tied to this device: a row lost to the pool, never one
        // given to two devices.
    }
    drawn_.reset();
}

bool DevicePool::Written() {
    if (!drawn_) {
        return true;
    }
    try {
        store_.MarkWritten(name_, drawn_->id, drawn_->imei);
    } catch (const records::StoreError&) {
        return false;
    }
    return true;
}

}  // namespace job
