#include "line/LineDatabase.h"

#include "records/RecordStore.h"

namespace line {

namespace {
// More idle connections than the HTTP threads could use are closed.
constexpr std::size_t kMostIdle = 8;
}  // namespace

LineDatabase::LineDatabase(std::string uri, std::chrono::milliseconds answerTimeout)
    : uri_(std::move(uri)), answerTimeout_(answerTimeout) {}

LineDatabase::Lease::~Lease() {
    if (spoiled_ || !connection_) {
        return;
    }
    std::lock_guard lock(owner_.mutex_);
    if (owner_.idle_.size() < kMostIdle) {
        owner_.idle_.push_back(std::move(connection_));
    }
}

LineDatabase::Lease LineDatabase::Borrow() {
    {
        std::lock_guard lock(mutex_);
        if (!idle_.empty()) {
            auto connection = std::move(idle_.back());
            idle_.pop_back();
            return Lease(*this, std::move(connection));
        }
    }
    auto connection =
        std::make_unique<records::PgConnection>(uri_, std::chrono::seconds(5), answerTimeout_, -1);
    // Hours are the records' hours, in UTC, whatever the server's own zone.
    connection->Exec("SET TIME ZONE 'UTC'");
    return Lease(*this, std::move(connection));
}

}  // namespace line
