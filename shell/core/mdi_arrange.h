// Arrangements of the windows inside the main window's area: Cascade, Tile
// Horizontally and Tile Vertically. Plain rectangles in the area's pixels (left/top
// inclusive, right/bottom exclusive), one per window, in the order given (for a
// cascade, the last window is the one on top).
#pragma once

#include <vector>

#include "shell/core/placement.h"

// Cascade of `count` windows, each `step` pixels (the height of a title bar) further
// right and down than the one before, all of one size: the area less the offsets of
// one run. A run keeps every window at least two thirds of the area in each
// direction; further windows start a new run at the top left. Sizes are at least 1.
std::vector<PlacementRect> mdi_cascade(int count, int area_width, int area_height, int step);

// Tiles of `count` windows filling the area. Horizontal: up to three windows one above
// the other, each as wide as the area; more in ceil(sqrt(count)) rows of windows side
// by side. Vertical: the same turned a quarter (up to three side by side, then
// columns). A row (column) that holds one window more than the others is one of the
// last. Sizes are at least 1.
std::vector<PlacementRect> mdi_tile(int count, int area_width, int area_height, bool horizontal);
