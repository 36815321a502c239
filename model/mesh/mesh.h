// Mesh construction, all in one include: face blocks and single faces, grid patches,
// revolutions, lofts, sweeps, fractal surfaces and chain resampling.
#pragma once

#include "model/mesh/chain.h"
#include "model/mesh/face_index.h"
#include "model/mesh/fractal.h"
#include "model/mesh/grid_builders.h"
#include "model/mesh/mesh_block.h"
#include "model/mesh/sweep.h"
