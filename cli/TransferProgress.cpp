#include "cli/TransferProgress.h"

#include <algorithm>
#include <cstdio>

#include "res/ResourceIds.h"

namespace cli {
namespace {

constexpr int kBarWidth = 24;
// Redrawing faster than this only makes the terminal flicker.
constexpr auto kRedrawPeriod = std::chrono::milliseconds(100);

std::string Percent(std::int64_t done, std::int64_t total) {
    const std::int64_t percent = total > 0 ? done * 100 / total : 0;
    return std::to_string(percent) + "%";
}

std::string MinutesSeconds(long long seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld", seconds / 60, seconds % 60);
    return text;
}

}  // namespace

std::string FormatTransferStatus(std::int64_t done, std::int64_t total, double seconds) {
    done = std::clamp<std::int64_t>(done, 0, std::max<std::int64_t>(total, 0));
    const int filled = total > 0 ? static_cast<int>(done * kBarWidth / total) : 0;
    std::string bar = "[" + std::string(static_cast<std::size_t>(filled), '#') +
                      std::string(static_cast<std::size_t>(kBarWidth - filled), '-') + "]";
    std::string rate = "-";
    std::string left = "-";
    if (seconds >= 0.5 && done > 0) {
        const double bytesPerSecond = static_cast<double>(done) / seconds;
        char text[32];
        std::snprintf(text, sizeof text, "%.1f", bytesPerSecond / 1024.0);
        rate = text;
        left = MinutesSeconds(
            static_cast<long long>(static_cast<double>(total - done) / bytesPerSecond + 0.5));
    }
    return bar + " " +
           Console::Text(res::IDS_CLI_TRANSFER_STATUS, {Percent(done, total), std::to_string(done),
                                                        std::to_string(total), rate, left});
}

void TransferProgress::Begin(std::int64_t total) {
    total_ = total;
    perMille_ = 0;
    quartersShown_ = 0;
    begun_ = true;
    moving_ = false;
    start_ = Clock::now();
    lastDrawn_ = Clock::time_point{};
    observer_.Transfer(0, total_);
}

std::int64_t TransferProgress::Done(int perMille) const {
    // Rounded up: cut off, 60.0 % of 64 MB (40265318.4 bytes) was shown as
    // 40265318 bytes and "59%". Never the whole image before the end, though.
    const int share = std::clamp(perMille, 0, 1000);
    const std::int64_t done = (total_ * share + 999) / 1000;
    return share < 1000 ? std::min<std::int64_t>(done, std::max<std::int64_t>(total_ - 1, 0))
                        : total_;
}

void TransferProgress::Update(int perMille) {
    if (!begun_) {
        return;
    }
    perMille_ = perMille;
    observer_.Transfer(Done(perMille), total_);
    const auto now = Clock::now();
    if (!moving_ && perMille > 0) {
        // The rate counts from the first acknowledged block, not from the
        // wait for the receiver's start signal.
        moving_ = true;
        start_ = now;
    }
    if (terminal_) {
        if (now - lastDrawn_ >= kRedrawPeriod) {
            lastDrawn_ = now;
            const std::chrono::duration<double> elapsed = now - start_;
            console_.Status(FormatTransferStatus(Done(perMille), total_, elapsed.count()));
        }
        return;
    }
    const int quarters = std::clamp(perMille, 0, 1000) / 250;
    // The last quarter is Finish's: it knows whether the end was reached.
    while (quartersShown_ < quarters && quartersShown_ < 3) {
        ++quartersShown_;
        const std::int64_t done = total_ * quartersShown_ / 4;
        console_.Progress(res::IDS_CLI_TRANSFER_LINE,
                          {Percent(done, total_), std::to_string(done), std::to_string(total_)});
    }
}

void TransferProgress::Finish() {
    if (!begun_) {
        return;
    }
    begun_ = false;
    const std::int64_t done = Done(perMille_);
    if (terminal_) {
        const std::chrono::duration<double> elapsed = Clock::now() - start_;
        console_.ProgressLine(FormatTransferStatus(done, total_, elapsed.count()));
    } else {
        console_.Progress(res::IDS_CLI_TRANSFER_LINE,
                          {Percent(done, total_), std::to_string(done), std::to_string(total_)});
    }
}

}  // namespace cli
