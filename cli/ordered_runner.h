#pragma once
// Runs a job per input on worker threads and hands the results back in input
// order, each as soon as it and every earlier one are done. A stop request ends
// the run early: the workers take no new input, and the inputs already taken are
// still handed back, in order.

#include <cstddef>
#include <functional>
#include <optional>
#include <stop_token>
#include <type_traits>
#include <vector>

// The threads and the ordering: runs job(i) for every index on `workers`
// threads and calls deliver(i) on the calling thread once job(i) and every
// earlier job have returned.
void runIndicesInOrder(std::size_t count, unsigned workers,
                       const std::function<void(std::size_t index)>& job,
                       const std::function<void(std::size_t index)>& deliver,
                       std::stop_token stop = {});

// job(index) returns a result; deliver(index, result) receives it.
template <class Job, class Deliver>
void runInOrder(std::size_t count, unsigned workers, const Job& job, const Deliver& deliver,
                std::stop_token stop = {}) {
    using Result = std::invoke_result_t<const Job&, std::size_t>;
    std::vector<std::optional<Result>> results(count);
    runIndicesInOrder(
        count, workers, [&](std::size_t i) { results[i] = job(i); },
        [&](std::size_t i) {
            deliver(i, *results[i]);
            results[i].reset();
        },
        std::move(stop));
}
