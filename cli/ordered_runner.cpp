#include "ordered_runner.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>

void runIndicesInOrder(std::size_t count, unsigned workers,
                       const std::function<void(std::size_t)>& job,
                       const std::function<void(std::size_t)>& deliver, std::stop_token stop) {
    std::vector<bool> done(count);
    std::size_t next = 0;
    const unsigned threadCount =
        std::max(1u, std::min<unsigned>(workers, static_cast<unsigned>(count)));
    unsigned running = threadCount;
    std::mutex mutex;
    std::condition_variable changed;

    // Indices are taken in order, so the ones taken are always a prefix, and
    // every one of them is done once no worker runs any more.
    const auto work = [&] {
        for (;;) {
            std::size_t i = 0;
            {
                const std::lock_guard lock(mutex);
                if (next == count || stop.stop_requested()) {
                    --running;
                    changed.notify_all();
                    return;
                }
                i = next++;
            }
            job(i);
            const std::lock_guard lock(mutex);
            done[i] = true;
            changed.notify_all();
        }
    };
    std::vector<std::jthread> threads;
    for (unsigned t = 0; t < threadCount; ++t) {
        threads.emplace_back(work);
    }
    for (std::size_t i = 0; i < count; ++i) {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return done[i] || running == 0; });
        if (!done[i]) {
            return; // stopped before this index was taken
        }
        lock.unlock();
        deliver(i);
    }
}
