// Fractal triangle surfaces, and the seeded 15-bit pseudo-random generator they draw
// from so that the same seed and the same calls give the same mesh every time.
//
// Module state, kept per thread: the generator's state and the roughness of the last
// call (0.25 until a call sets another).
#pragma once

#include <cstdint>

#include "model/math/types.h"

class MESH3;

// Restarts the generator. The state at start-up is that of seed 1.
void mesh_random_seed(uint32_t seed);
// The next number of the sequence, 0 to 32767.
int mesh_random();

// The roughness the last mesh_fractal_surface used (0.25 before any).
double mesh_fractal_roughness();

// Adds a new free block at the head of the mesh holding the triangle p1, p2, p3
// subdivided levels - 1 times into four by its edge midpoints: n = 2^(levels - 1)
// steps a side, (n + 1)(n + 2) / 2 vertices, n^2 faces. Levels are clamped to 1..7.
// A midpoint not on the outer border is raised by d = roughness x 0.6 x edge length
// / 32767 times random numbers: z by r1 x d, y by r2 x d / 10, x by r3 x d / 10, so a
// positive roughness never lowers a point, and neighbouring surfaces built over
// shared edges stay joined. The roughness is used when it lies in -1..1, else 0.25;
// it is kept as module state. 0, 8 or 13 (null mesh or point, non-finite corner).
[[nodiscard]] int mesh_fractal_surface(MESH3* mesh, const Vec3* p1, const Vec3* p2, const Vec3* p3,
                                       int levels, double roughness);
