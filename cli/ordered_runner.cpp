#include "ordered_runner.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

void runInOrder(std::size_t count, unsigned workers, const JobFunction& job,
                const DeliverFunction& deliver) {
    std::vector<std::optional<std::string>> outputs(count);
    std::mutex mutex;
    std::condition_variable ready;
    std::atomic<std::size_t> next{0};

    const auto work = [&] {
        for (std::size_t i = next++; i < count; i = next++) {
            std::string output = job(i);
            const std::lock_guard lock(mutex);
            outputs[i] = std::move(output);
            ready.notify_one();
        }
    };
    const unsigned threadCount =
        std::max(1u, std::min<unsigned>(workers, static_cast<unsigned>(count)));
    std::vector<std::jthread> threads;
    for (unsigned t = 0; t < threadCount; ++t) {
        threads.emplace_back(work);
    }
    for (std::size_t i = 0; i < count; ++i) {
        std::unique_lock lock(mutex);
        ready.wait(lock, [&] { return outputs[i].has_value(); });
        const std::string output = std::move(*outputs[i]);
        outputs[i].reset();
        lock.unlock();
        deliver(i, output);
    }
}
