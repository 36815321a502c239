// Making one allocation fail on purpose: a test program that links alloc_fail.cpp
// replaces the global operator new with one that counts down, armed only while a
// test walks an operation with its Nth allocation failing.
#pragma once

#include <gtest/gtest.h>

#include "model/services/log.h"

// The Nth allocation from now fails (throwing new throws std::bad_alloc, nothrow new
// gives null); 0 lets every one through.
void alloc_fail_arm(long n);
// Whether the armed allocation was reached (and failed) since the last arming.
bool alloc_fail_met();

// Runs `op` with the Nth allocation failing for N = 1, 2, ... until a run goes through
// without meeting the failure (or a check failed); `check(result, failed, N)` judges
// each run. `prepare` runs before each, with every allocation allowed. Log lines are
// dropped meanwhile. Returns the number of runs.
template <class Op, class Check, class Prepare>
long walk_failures(Op&& op, Check&& check, Prepare&& prepare) {
    const LogHook before = log_set_hook([](LogLevel, const char*) {});
    long n = 1;
    for (;; ++n) {
        prepare();
        alloc_fail_arm(n);
        const int r = op();
        const bool failed = alloc_fail_met();
        alloc_fail_arm(0);
        check(r, failed, n);
        if (!failed || ::testing::Test::HasFailure()) break;
    }
    log_set_hook(before);
    return n;
}
template <class Op, class Check>
long walk_failures(Op&& op, Check&& check) {
    return walk_failures(op, check, [] {});
}
