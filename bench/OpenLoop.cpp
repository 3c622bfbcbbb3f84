#include "OpenLoop.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>

namespace bench {

OpenLoopRun RunOpenLoop(double rate, long count, int threads,
                        const std::function<bool(long slot)>& request) {
    using Clock = std::chrono::steady_clock;
    // A moment's grace, so that the first slots are not late for the
    // threads' own start.
    const Clock::time_point start = Clock::now() + std::chrono::milliseconds(100);
    std::atomic<long> next{0};
    std::mutex mutex;
    OpenLoopRun run;
    Clock::time_point last = start;
    std::vector<std::thread> senders;
    for (int t = 0; t < threads; ++t) {
        senders.emplace_back([&] {
            std::vector<double> own;
            long failed = 0;
            Clock::time_point done = start;
            for (long slot = next++; slot < count; slot = next++) {
                const auto due = start + std::chrono::duration_cast<Clock::duration>(
                                             std::chrono::duration<double>(slot / rate));
                std::this_thread::sleep_until(due);
                bool right = false;
                try {
                    right = request(slot);
                } catch (const std::exception&) {
                }
                done = Clock::now();
                if (right) {
                    own.push_back(std::chrono::duration<double, std::milli>(done - due).count());
                } else {
                    ++failed;
                }
            }
            std::lock_guard lock(mutex);
            run.milliseconds.insert(run.milliseconds.end(), own.begin(), own.end());
            run.failures += failed;
            last = std::max(last, done);
        });
    }
    for (std::thread& sender : senders) {
        sender.join();
    }
    run.seconds = std::chrono::duration<double>(last - start).count();
    return run;
}

}  // namespace bench
