// Picking curves for the swept-surface commands and the settings dialogs: objects
// chosen for a command (the view's selection or picks passing a class filter), the
// line-work object under a point, and a picked curve's point list copied and turned
// so that it starts at the end nearer the pick (a closed one at the picked segment,
// with its running direction asked).
//
// Points are drawing coordinates. Every asking routine takes the command's VIEW by
// reference and returns 0, an engine code, or the input code that ended it (-1
// refused, -2 cancelled: the caller leaves at once).
#pragma once

#include <cstdint>
#include <vector>

#include "graphics/view/view_host.h"
#include "model/math/types.h"

class VIEW;
class buffer;
class object;
struct ViewProjection;

// Class filters of select_for_command.
inline constexpr int kSelectMeshes = 0;    // a MESH3, or a group holding one directly
inline constexpr int kSelectLineWork = 1;  // polylines, texts, hatches, arcs; groups of line work
// Whether `obj` passes the filter of `mode` (any other mode: every object).
bool select_filter_accepts(int mode, const object* obj);

// The objects a command works on: the VIEW's selection when it holds objects (no
// prompt); otherwise picks under `prompt` with the snap box (no object snaps, no grid
// steps while it asks; both restored afterwards), every object under the point that
// passes the filter going into a new buffer, until it holds one. *buf is null when
// the step ended it. 0, the step's code, or 8.
[[nodiscard]] int select_for_command(int mode, VIEW** view_ref, buffer** buf,
                                     InputOptionsFn options, uint32_t prompt, uint32_t help);
// Frees a buffer that is not a selection, and leaves input mode.
void select_done(VIEW* view, buffer* buf);

// The first line-work object under the point (cycling through every hit) that is not a
// text and not `skip`; null when none.
object* wire_under_point(VIEW* view, const Vec3& point, const object* skip);
// An arc or ellipse drawn whole, or a polyline whose ends lie less than 0.001 apart
// (or that has one vertex).
bool curve_is_closed(const object* obj);

// Turns a picked chain: the vertex nearest the pick (view coordinates; its successor
// when that is nearer in the view plane) decides the end it starts at: the chain is
// reversed when the vertex is its last, or lies further along it than back. A closed
// chain (a repeat of the first point at its end is dropped first) then starts at the
// first vertex of the segment passing within 4 pixels of the pick and ends there
// again. 0 for an empty chain, else 1.
int curve_start_at_pick(const ViewProjection& vp, std::vector<Vec3>* chain, const Vec3& pick, bool closed);
// Index of the first segment passing within 4 pixels of the point, -1 when none.
int chain_segment_at(const ViewProjection& vp, const std::vector<Vec3>& chain, const Vec3& point);
// Whether the chain runs the long way to segment `segment`: its length from the start
// to the segment's first vertex exceeds the length from there to its end.
bool chain_longer_before(const std::vector<Vec3>& chain, int segment);

// Asks "Specify closed path direction" until a click lies on the chain: 1 when the
// chain is to be reversed (the click is on its far half), 0 when not or when the step
// was refused, -2 when the command was cancelled.
int curve_ask_direction(VIEW** view_ref, const std::vector<Vec3>& chain, InputOptionsFn options,
                           uint32_t help);

// What a curve pick accepts.
enum class CurveKind {
    kLineWork,   // any line work but text
    kPathCurve,  // a polyline or an arc with points
};
// curve_pick's result for a curve without points.
inline constexpr int kCurveNoPoints = 19;
// Asks `prompt` until a curve of the kind lies under the click (not `skip`), copies
// its point list, orients it (curve_start_at_pick) and, for a closed curve, asks
// its direction. 0 with *chain and *obj set; 19 for a curve without points; or the
// step's code.
[[nodiscard]] int curve_pick(VIEW** view_ref, uint32_t prompt, CurveKind kind, const object* skip,
                             InputOptionsFn options, uint32_t help, std::vector<Vec3>* chain,
                             object** obj);
