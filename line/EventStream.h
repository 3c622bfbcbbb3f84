// One browser's or client's open stream of Server-Sent Events. The hub feeds
// it from its own thread; the server's thread drains it to the socket and,
// while nothing is there, leaves the connection parked (suspended) instead of
// asking again and again. A client that reads slower than events come is let
// go once it lags by more than a bound: it reconnects and reads the state
// afresh, and the server holds no growing queue for it.
#pragma once

#include <sys/types.h>
#include <cstddef>
#include <mutex>
#include <string>

struct MHD_Connection;

namespace line {

class EventStream {
public:
    static constexpr std::size_t kMostPending = 1 << 20;

    explicit EventStream(std::string first) : pending_(std::move(first)) {}

    // From any thread. False once the stream is closed (the client gone, or
    // let go): the hub drops it.
    bool Push(const std::string& text);
    // Ends the stream after what is pending. From any thread.
    void Close();
    bool Closed() const;

    // The server's side, on the connection's thread.
    void Attach(MHD_Connection* connection);
    // Up to size bytes into to; -1 at the end of the stream; 0 when nothing is
    // pending (the connection is suspended until the next Push or Close).
    ssize_t Drain(char* to, std::size_t size);
    // The connection is gone.
    void Detach();

private:
    // Takes the connection out of its park, with the lock released: a
    // suspended connection cannot end meanwhile, so it is still there.
    void Wake(std::unique_lock<std::mutex>& lock);

    mutable std::mutex mutex_;
    std::string pending_;
    std::size_t sent_ = 0;  // of pending_
    MHD_Connection* connection_ = nullptr;
    bool suspended_ = false;
    bool closed_ = false;
};

}  // namespace line
