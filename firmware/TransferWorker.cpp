#include "firmware/TransferWorker.h"

#include <utility>

#include "firmware/Xmodem.h"

TransferWorker::~TransferWorker() {
    Stop();
}

void TransferWorker::Start(PortHandle port, const std::uint8_t* image, std::int32_t size,
                           DoneHandler onDone) {
    stop_.store(0, std::memory_order_release);
    finished_.store(false, std::memory_order_release);
    size_ = size;
    result_ = 0;
    thread_ = std::thread([this, port, image, size, onDone = std::move(onDone)] {
        SetTransferPort(port);
        const int result = TransferSendFile(image, size, &stop_);
        result_ = result;
        finished_.store(true, std::memory_order_release);
        if (onDone) {
            onDone(result);
        }
    });
}

std::int32_t TransferWorker::PerMille() const {
    return GetTransferProgress();
}

int TransferWorker::Wait() {
    if (thread_.joinable()) {
        thread_.join();
    }
    return result_;
}

void TransferWorker::Stop() {
    if (thread_.joinable()) {
        RequestStop();
        thread_.join();
    }
}
