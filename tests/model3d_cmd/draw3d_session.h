// Scripted sessions of the 3D drawing commands in a fresh harness: the start, and the
// checks that a session ended cleanly.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "commands/model3d/draw3d_settings.h"
#include "harness.h"

// Runs `script` then the command `id` (`fn`) in `h` at 10 pixels a unit with the 3D
// drawing settings at their defaults; the command's result.
inline int run_draw3d_session(Harness& h, uint32_t id, CommandFn fn, const std::function<void(Harness&)>& script) {
    h.view()->projection.scale = 10.0;
    h.define(id, fn);
    g_draw3d = Draw3DSettings{};
    script(h);
    return h.run(id);
}

// Readies `h` for a session with typed cartesian coordinates: 10 pixels a unit, the 3D
// drawing settings at their defaults.
inline void start_cartesian_draw3d_session(Harness& h) {
    h.view()->projection.scale = 10.0;
    g_draw3d = Draw3DSettings{};
    h.view()->coordinate_type = 1;
    h.view()->cartesian = 1;
}

// Checks that the session in `h` showed `prompts`, used its whole script and left the
// view's input mode and typed cartesian coordinates as they were.
inline void expect_cartesian_session_ended(Harness& h, const std::vector<int>& prompts) {
    EXPECT_EQ(h.shown_prompts(), prompts);
    EXPECT_EQ(h.script_left(), 0u);
    EXPECT_EQ(h.view()->input_mode, 0);
    EXPECT_EQ(h.view()->coordinate_type, 1);
    EXPECT_EQ(h.view()->cartesian, 1);
}
