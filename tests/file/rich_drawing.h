// A drawing that holds every kind of thing the drawing file stores: line, hatch,
// font and image styles (plain and kept-file images); polylines, splines and filled
// polygons; circles, arcs and ellipses; hatches with islands; texts in two fonts;
// meshes with free, open, closed and half-closed grid blocks and texture
// coordinates; cameras and lights with keyed channels; a spot light with a tracked
// target; track hierarchies and object keys; nested groups; several layers;
// viewports; widths, colours and the second and third texts.
//
// Other suites extend it (the view records add views): call build_rich_drawing, then
// add to the model.
#pragma once

#include <memory>

#include "model/db/zobj.h"

// Fills a fresh MODEL (as rtc_init makes it) and regenerates its display geometry.
// Returns 0, or the first failing step's code.
int build_rich_drawing(MODEL* model);
