// Runs one scripted session of a 3D drawing command in a fresh harness.
#pragma once

#include <cstdint>
#include <functional>

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
