// Runs a piece of a test on a thread with a small stack, so that a walk which
// recurses once per group level overflows it instead of passing on the main
// thread's large stack; and the deepest chain of groups a drawing file holds. Header
// only; used by the deep-nesting tests.
#pragma once

#include <gtest/gtest.h>
#include <pthread.h>

#include <cstddef>
#include <functional>

#include "model/db/tree.h"
#include "model/file/save_context.h"
#include "model/rtc/rtc.h"

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

// Nests kMaxRecordNesting - 2 empty groups in `into`, each in the one before: the
// deepest chain a file holds. *outer gets the outermost group, *innermost the
// innermost; fails the test when a group cannot be inserted.
inline void nest_deepest_groups(CONTAINER* into, CONTAINER** outer, CONTAINER** innermost) {
    *outer = nullptr;
    for (int i = 0; i < kMaxRecordNesting - 2; ++i) {
        auto* g = rtc_make<CONTAINER>().release();
        ASSERT_EQ(container_insert(into, g), 0);
        if (!*outer) *outer = g;
        into = g;
    }
    *innermost = into;
}
