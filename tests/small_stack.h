// Runs a piece of a test on a thread with a small stack, so that a walk which
// recurses once per group level overflows it instead of passing on the main
// thread's large stack. Header only; used by the deep-nesting tests.
#pragma once

#include <pthread.h>

#include <cstddef>
#include <functional>

// Calls `fn` on a new thread whose stack is `bytes` long and waits for it. false when
// the thread could not be started (the test then fails on its own expectations).
inline bool run_on_small_stack(const std::function<void()>& fn, size_t bytes = 512 * 1024) {
    pthread_attr_t attr;
    if (pthread_attr_init(&attr) != 0) return false;
    pthread_attr_setstacksize(&attr, bytes);
    pthread_t thread;
    auto body = [](void* arg) -> void* {
        (*static_cast<const std::function<void()>*>(arg))();
        return nullptr;
    };
    const bool started =
        pthread_create(&thread, &attr, body, const_cast<std::function<void()>*>(&fn)) == 0;
    pthread_attr_destroy(&attr);
    if (started) pthread_join(thread, nullptr);
    return started;
}
