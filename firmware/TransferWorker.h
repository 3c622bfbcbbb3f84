// One XMODEM transfer run on a thread of its own, so that whoever shows it (the
// desktop's transfer dialog, tirvelctl) keeps its own loop going: it starts the
// sender, reads its progress, asks it to stop and learns its result. The
// sender keeps its port and progress as module state, so one worker at a time
// may run in the process.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>

#include "serial/ComPort.h"

class TransferWorker {
public:
    // Told the sender's result on the worker thread, right after the sender
    // has returned and before the worker ends.
    using DoneHandler = std::function<void(int result)>;

    TransferWorker() = default;
    // Stops and waits for a worker still running, so it never outlives the
    // image or the port its owner holds.
    ~TransferWorker();
    TransferWorker(const TransferWorker&) = delete;
    TransferWorker& operator=(const TransferWorker&) = delete;

    // Sends size bytes of image over the open port. The image and the port
    // must stay until the worker has been waited for. Not while one runs.
    void Start(PortHandle port, const std::uint8_t* image, std::int32_t size,
               DoneHandler onDone = {});

    // A worker has been started and not yet waited for.
    bool Running() const { return thread_.joinable(); }
    // The sender has returned; Wait() no longer blocks.
    bool Finished() const { return finished_.load(std::memory_order_acquire); }
    std::int32_t Size() const { return size_; }
    // Per mille of the image acknowledged so far, as the sender counts it
    // (past 1000 after a last, partly filled block).
    std::int32_t PerMille() const;

    // The sender stops at its next check point; does not wait.
    void RequestStop() { stop_.store(1, std::memory_order_release); }
    // Waits for the worker to end and returns the sender's result (0 or more:
    // the bytes acknowledged; below 0: the kTransfer... code). The result of
    // the last run once it has been waited for.
    int Wait();
    // RequestStop and Wait, for a worker that may still run.
    void Stop();

private:
    std::thread thread_;
    std::atomic<int> stop_{0};
    std::atomic<bool> finished_{false};
    std::int32_t size_ = 0;
    int result_ = 0;  // written by the worker before finished_, read after
};
