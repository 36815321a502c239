// Gradient noise, turbulence, table waves and crease noise shared by the procedural
// textures and the bump maps, with the fixed tables they read. All routines are pure
// functions of their arguments and the fixed tables, finite for every input: a NaN
// coordinate counts as 0 and lattice indices are reduced in floating point, so huge
// coordinates (up to the double range) never overflow an integer.
#pragma once

#include <cstdint>

// Scalar noise in [0, 1].
double noise3(double x, double y, double z);
double noise1(double t);
// Vector noise: three components, each roughly in [-1.5, 1.5]; no offset, no clamp.
void noise3_vec(double out[3], double x, double y, double z);
// noise3(p) + sum over k = 1 .. max(octaves, 2) - 1 of noise3(2^k p) / 2^k.
double turbulence(double x, double y, double z, int octaves);
// noise3_vec(p) + sum over k = 1 .. octaves - 1 of noise3_vec(2^k p) / 2^k.
void turbulence_vec(double out[3], double x, double y, double z, int octaves);
// sin(2 pi t) through the 1000-entry table (odd: negative t gives minus the table).
double wave_sin(double t);
// A triangle wave of period 1 in [0, 1]: 0 at integers, 1 at half-integers.
double wave_triangle(double t);
// Noise with creases (absolute-value blends) in roughly [0, 1]; lattice at floor.
double crease_noise(double x, double y, double z);
// Central differences of crease_noise with step 0.01, times 50.
void crease_noise_gradient(double out[3], double x, double y, double z);
// A table value in [-1, 1] from an 8-bit counter of the calling thread.
double noise_table_random(int a, int b);

// The calling thread's pseudo-random generator (0..32767), seeded with 0 on each
// thread and by texture_tables_init.
void surface_srand(uint32_t seed);
int32_t surface_rand();

// Ripple centre i (0..9): unit vectors (a zero vector stays zero).
const float* noise_ripple_centre(int i);
// Wave-bump frequency factor i (0..9).
double noise_wave_factor(int i);

// Fills the sine table and the ripple centres (thread-safe, once).
void noise_tables_ready();
