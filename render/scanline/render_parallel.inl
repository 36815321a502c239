// Parallel loop of the render stages over indices (included by render_context.h).
#pragma once

#include <atomic>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

template <class Fn>
void render_parallel_for(int32_t threads, int64_t n, Fn&& fn) {
    if (n <= 0) return;
    int64_t t = threads < 1 ? 1 : threads;
    if (t > n) t = n;
    if (t == 1) {
        for (int64_t i = 0; i < n; ++i) fn(i);
        return;
    }
    std::vector<std::thread> pool;
    pool.reserve(static_cast<size_t>(t - 1));
    // Each thread takes the next index as it comes free, so a thread the system
    // holds back does not hold the whole loop back with a fixed share of it.
    std::atomic<int64_t> next{0};
    // An exception on a worker (out of memory) is carried to the caller after every
    // thread has ended, as on one thread, instead of ending the process.
    std::exception_ptr failure;
    std::mutex failure_lock;
    auto run = [&]() {
        try {
            for (int64_t i = next.fetch_add(1); i < n; i = next.fetch_add(1)) fn(i);
        } catch (...) {
            std::lock_guard<std::mutex> lock(failure_lock);
            if (!failure) failure = std::current_exception();
        }
    };
    for (int64_t k = 1; k < t; ++k) {
        try {
            pool.emplace_back(run);
        } catch (...) {
            // No thread to spare: the threads there are take its share.
            break;
        }
    }
    run();
    for (std::thread& th : pool) th.join();
    if (failure) std::rethrow_exception(failure);
}
