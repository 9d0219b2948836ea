#include "tools/cdn/publish/parallel_jobs.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

unsigned DefaultJobs() {
    return std::max(1u, std::thread::hardware_concurrency());
}

void RunParallel(std::size_t count, unsigned jobs, const std::function<void(std::size_t)>& task) {
    std::atomic<std::size_t> next{0};
    std::atomic<bool> failed{false};
    std::mutex failureMutex;
    std::size_t failedIndex = count;
    std::exception_ptr failure;

    auto work = [&] {
        for (std::size_t index = next++; index < count && !failed; index = next++) {
            try {
                task(index);
            } catch (...) {
                std::lock_guard<std::mutex> lock(failureMutex);
                if (index < failedIndex) {
                    failedIndex = index;
                    failure = std::current_exception();
                }
                failed = true;
            }
        }
    };
    const std::size_t helpers = std::min<std::size_t>(std::max(jobs, 1u), count) - (count ? 1 : 0);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < helpers; ++i) {
        threads.emplace_back(work);
    }
    work();
    for (std::thread& thread : threads) {
        thread.join();
    }
    if (failure) {
        std::rethrow_exception(failure);
    }
}
