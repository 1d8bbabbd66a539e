#pragma once
// Runs a job per input on worker threads and hands the results back in input
// order, each as soon as it and every earlier one are done.

#include <cstddef>
#include <functional>
#include <string>

using JobFunction = std::function<std::string(std::size_t index)>;
using DeliverFunction = std::function<void(std::size_t index, const std::string& output)>;

void runInOrder(std::size_t count, unsigned workers, const JobFunction& job,
                const DeliverFunction& deliver);
