// Fixed-range parallel loop of the render stages (included by render_context.h).
#pragma once

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
    // An exception on a worker (out of memory) is carried to the caller after every
    // range has ended, as on one thread, instead of ending the process.
    std::exception_ptr failure;
    std::mutex failure_lock;
    auto run = [&](int64_t k) {
        try {
            const int64_t a = n * k / t, b = n * (k + 1) / t;
            for (int64_t i = a; i < b; ++i) fn(i);
        } catch (...) {
            std::lock_guard<std::mutex> lock(failure_lock);
            if (!failure) failure = std::current_exception();
        }
    };
    for (int64_t k = 1; k < t; ++k) {
        try {
            pool.emplace_back(run, k);
        } catch (...) {
            // No thread to spare: this thread does that range too.
            run(k);
        }
    }
    run(0);
    for (std::thread& th : pool) th.join();
    if (failure) std::rethrow_exception(failure);
}
