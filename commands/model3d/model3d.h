// The 3D construction commands built so far and their registration in the drawing
// view's command table. Each takes the command's VIEW by reference (written back when
// the command moves to another view; null when its window closed) and returns 0, an
// engine code (8 out of memory) or the input code that ended it (-1, -2).
#pragma once

#include <cstdint>

class VIEW;

inline constexpr uint32_t kCmdBox3D = 15500;

// Prompts of the 3D commands.
inline constexpr uint32_t kPromptBoxCorner = 44500;  // "Left down corner of 3D box"
inline constexpr uint32_t kPromptBoxWidth = 44501;   // "Width of 3D box"
inline constexpr uint32_t kPromptBoxHeight = 44502;  // "Height of 3D box"
inline constexpr uint32_t kPromptBoxDepth = 44503;   // "Depth of 3D box"
inline constexpr uint32_t kHelpBox3D = 40051;

// The parameter dialogs of the commands, installed by the application (the Qt
// dialogs) or by tests. Each returns 1 when accepted, 0 when cancelled; it edits
// g_draw3d in place. Without a hook the command runs on the current settings.
struct Draw3dDialogs {
    int (*box)(VIEW* view) = nullptr;
};
extern Draw3dDialogs g_draw3d_dialogs;
// Set by the dialogs' "&Query" box: when non-zero, commands start without their
// dialog. Process-wide, not saved.
extern int g_draw3d_query;

int cmd_box(VIEW** view_ref);

using Model3dCommandFn = int (*)(void* arg);
void model3d_register_commands(void (*set)(int id, Model3dCommandFn fn));
