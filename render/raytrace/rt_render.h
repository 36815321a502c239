// The ray tracer's entry: renders one frame of a drawing through the render context
// that render_scene prepared (settings, projection, camera, target, progress), and its
// installation as render_scene's ray-tracing branch.
//
// Results: 0 after a complete frame; -1 when a callback asked to stop (before or
// during the rows, or during mesh preparation); 8 out of memory; 153 (or another
// non-zero code) for a failure whose text render_last_message() then holds, such as
// "Theres no objects in the scene". Nothing is shown to the user here: renders run on
// worker threads, and the caller shows the text on its window thread.
#pragma once

class MODEL;
struct RenderContext;
struct RenderLayerFilter;

[[nodiscard]] int rt_render(RenderContext* ctx, MODEL* drawing, const RenderLayerFilter* layers);

// Makes render_scene hand ray-traced frames to rt_render. Call once at start-up.
void rt_install();
