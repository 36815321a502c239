// The input gate of long feedback draws: what counts as input waiting during a draw.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "graphics/view/input_gate.h"

namespace {
int64_t g_now = 0;
int64_t test_clock() { return g_now; }
}  // namespace

TEST(InputGate, InputDuringADrawOrItsFrameRunningOut) {
    struct Step {
        char what;  // 's' input seen, 'b' draw begins, '+' 10 ms pass, '?' asked
        bool want = false;
    };
    struct Case {
        const char* name;
        int64_t frame_us;
        std::vector<Step> steps;
    };
    const std::vector<Case> cases = {
        {"nothing before any draw", 16000, {{'?', false}, {'+'}, {'+'}, {'?', false}}},
        {"input seen during the draw", 16000, {{'b'}, {'?', false}, {'s'}, {'?', true}}},
        {"input before the draw is being handled", 16000, {{'s'}, {'b'}, {'?', false}}},
        {"the frame runs out", 16000, {{'b'}, {'+'}, {'?', false}, {'+'}, {'?', true}, {'b'}, {'?', false}}},
        {"a frame of 0 never runs out", 0, {{'b'}, {'+'}, {'+'}, {'+'}, {'?', false}, {'s'}, {'?', true}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        g_now = 1000000;
        InputGate gate(c.frame_us, &test_clock);
        for (const Step& s : c.steps) {
            if (s.what == 's') gate.input_seen();
            if (s.what == 'b') gate.draw_begin();
            if (s.what == '+') g_now += 10000;
            if (s.what == '?') {
                EXPECT_EQ(gate.pending(), s.want);
            }
        }
    }
}

TEST(InputGate, TheSteadyClockByDefault) {
    InputGate gate(1);  // one microsecond
    gate.draw_begin();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    EXPECT_TRUE(gate.pending());
}
