// The dimension commands of the drawing view (ids 15200 to 15211): horizontal,
// vertical and aligned distances, the three arrow commands, diameter, two radius
// kinds, two angle kinds, and the settings. Each dimension is one group added to the
// drawing as one undo level; the command goes on with the next dimension until the
// user ends it. User-interface thread only.
#pragma once

#include <cstdint>

class VIEW;

inline constexpr uint32_t kCmdDimFirst = 15200;
inline constexpr uint32_t kCmdDimSettings = 15211;

// Mode of a command index (id - 15200) 0..10; -1 for any other index.
int dim_mode_of_index(int index);

// Runs dimensions of `mode` until the user stops: 0, the input step's code (-1 Esc,
// -2 cancelled), -1 when the text query was cancelled, 8 out of memory, 13 for an
// unknown mode, or the error of adding the group.
[[nodiscard]] int dim_command(VIEW** view_ref, int mode);
// The command of index id - 15200: the settings (index 11, no input mode) or
// dim_command with the index's mode; 0 for an index outside the table.
[[nodiscard]] int dim_run_index(VIEW** view_ref, int index);

// Hands each command function to `set` under its id (the drawing view's table).
using DimCommandFn = int (*)(void* arg);
void dim_register_commands(void (*set)(int id, DimCommandFn fn));
