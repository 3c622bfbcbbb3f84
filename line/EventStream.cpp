#include "line/EventStream.h"

#include <microhttpd.h>

#include <cstring>

namespace line {

bool EventStream::Push(const std::string& text) {
    std::unique_lock lock(mutex_);
    if (closed_) {
        return false;
    }
    if (pending_.size() - sent_ + text.size() > kMostPending) {
        closed_ = true;
    } else {
        pending_.append(text);
    }
    Wake(lock);
    return !closed_;
}

void EventStream::Close() {
    std::unique_lock lock(mutex_);
    closed_ = true;
    Wake(lock);
}

bool EventStream::Closed() const {
    std::lock_guard lock(mutex_);
    return closed_;
}

void EventStream::Attach(MHD_Connection* connection) {
    std::lock_guard lock(mutex_);
    connection_ = connection;
}

void EventStream::Detach() {
    std::lock_guard lock(mutex_);
    connection_ = nullptr;
    suspended_ = false;
    closed_ = true;
}

void EventStream::Wake(std::unique_lock<std::mutex>& lock) {
    if (!suspended_ || connection_ == nullptr) {
        return;
    }
    suspended_ = false;
    MHD_Connection* connection = connection_;
    lock.unlock();
    MHD_resume_connection(connection);
}

ssize_t EventStream::Drain(char* to, std::size_t size) {
    std::lock_guard lock(mutex_);
    const std::size_t left = pending_.size() - sent_;
    if (left > 0) {
        const std::size_t n = std::min(left, size);
        std::memcpy(to, pending_.data() + sent_, n);
        sent_ += n;
        if (sent_ == pending_.size()) {
            pending_.clear();
            sent_ = 0;
        }
        return static_cast<ssize_t>(n);
    }
    if (closed_ || connection_ == nullptr) {
        return MHD_CONTENT_READER_END_OF_STREAM;
    }
    suspended_ = true;
    MHD_suspend_connection(connection_);
    return 0;
}

}  // namespace line
