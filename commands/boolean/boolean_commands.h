// The boolean commands of the drawing view: Union, Intersection and Subtraction of
// meshes through the boolean engine, and Join, which merges meshes without boolean
// work. Each replaces its operands in the drawing by the result in one undo level, so
// one Undo brings the operands back; a failure leaves the drawing and the selection
// as they were.
//
// Command functions take the processor's word holding the command's VIEW (see
// shell/cmdproc.h) and return 0 when done or cancelled, 8 when the engine gave no
// result or memory ran out, or an engine result code. User-interface thread only.
#pragma once

#include <cstdint>

class VIEW;
class MESH3;
class buffer;
struct RefNode;

inline constexpr uint32_t kCmdSubtraction = 15800;
inline constexpr uint32_t kCmdIntersection = 15801;
inline constexpr uint32_t kCmdUnion = 15802;
inline constexpr uint32_t kCmdJoinMeshes = 15803;

[[nodiscard]] int cmd_subtraction(void* arg);
[[nodiscard]] int cmd_intersection(void* arg);
[[nodiscard]] int cmd_union(void* arg);
[[nodiscard]] int cmd_join_meshes(void* arg);

// The command functions of 15800 to 15803, in id order.
struct BooleanCommandEntry {
    uint32_t id;
    int (*fn)(void* arg);
};
extern const BooleanCommandEntry kBooleanCommands[4];

// Asks `prompt_id` for a point (crosshair feedback) and returns the first MESH3
// under it, or null when the step ended (*code gets the step's code: -1, -2 or an
// engine code) or no mesh is there (*code 0). *view_ref follows the command.
MESH3* mesh_pick_prompt(VIEW** view_ref, uint32_t prompt_id, int* code);

// Adds every MESH3 of the view's selection to `operands`, also those found depth
// first inside selected containers, and clears the selection's reference to every
// mesh and container searched. 0, or 8 when a reference cannot be added.
[[nodiscard]] int selection_collect_meshes(VIEW* view, buffer* operands);

// Number of live MESH3 references in the buffer.
int buffer_count_meshes(const buffer* buf);

// The next MESH3 of the buffer after `*cursor` (null: from the start); the cursor
// moves to it. Null at the end (the cursor stays).
MESH3* buffer_next_mesh(const buffer* buf, RefNode** cursor);

// Deletes every object of the buffer from the drawing as part of the newest undo
// level (model_delete_object with `depth` and no new level), stopping at the first
// failure, whose code it returns.
[[nodiscard]] int buffer_delete_objects_undo(buffer* buf, int depth);
