// The lighting model of the scan-line renderer: the spot factor, the light pass that
// computes diffuse and highlight intensities at corners or faces (flat and Gouraud),
// and the two pixel routines the scan-line loop calls for a triangle met at a pixel.
// All material constants are the MaterialRecord's; lights and eye data come from the
// render context, which the routines only read (any number of threads may shade).
#pragma once

#include <cstdint>

#include "model/math/types.h"
#include "render/scanline/render_context.h"

// Spot factor for a point: u is the unit direction from the point toward the light.
// 0 when the light's target equals its position or the point is outside the cone;
// c^exponent (exponent above 0) times the smoothstep between the outer and inner
// cone cosines (when the inner value is above 0).
double render_spot_factor(const Vec3d& u, const RenderLight* light);

// Diffuse and highlight intensity at point p with normal n for the material.
void render_intensity(const RenderContext* ctx, const MaterialRecord* m, const Vec3d& p,
                      const Vec3d& n, double* diffuse, double* highlight);

// The light pass over every mesh (nothing for Phong): corner intensities for smooth
// meshes, one value per face (copied to its three corners) otherwise. Works on
// `threads` threads; 0, or -1 when stopped.
int render_light_pass(RenderContext* ctx);

// Whether a mesh is shaded smoothly in flat/Gouraud mode.
bool render_mesh_smooth(const RenderContext* ctx, const RenderMesh* mesh);

// One shaded point: the lit colour and the surface colour before lighting (each
// red, green, blue and the fourth component).
struct ShadeResult {
    float lit[4];
    float surface[4];
};

// Corner k's shading record of a triangle; null when it names none of the mesh's.
inline const ShadeRecord* render_shade_record(const RenderMesh* mesh, const RenderTriangle* tri,
                                              int k) {
    const int32_t s = tri->shade[k];
    if (s < 0 || static_cast<size_t>(s) >= mesh->shade.size()) return nullptr;
    return &mesh->shade[s];
}

// What flat/Gouraud shading needs of one triangle, found once for many of its points
// (the material's values held here as the per-point arithmetic reads them).
struct FlatShader {
    const MaterialRecord* m;  // the mesh's material, or the default one
    bool smooth;              // interpolated over the corners; else face 0's record
    bool plain;               // the surface colour is the material's, without noise
    bool tinted;              // highlights take the surface colour
    bool has[3];              // corner k has a lit record
    float diffuse[3], highlight[3];  // the records' intensities
    double self;              // self-illumination
    double opaque;            // 1 - transparency
    float surface[4];         // the material's colour, when plain
};
// The set-up in two parts: what the mesh's material gives (the same for all of its
// triangles), then the triangle's corners.
void render_flat_setup_mesh(const RenderContext* ctx, const RenderMesh* mesh, FlatShader* out);
inline void render_flat_setup_corners(const RenderMesh* mesh, const RenderTriangle* tri,
                                      FlatShader* out) {
    for (int k = 0; k < 3; ++k) {
        const ShadeRecord* r = render_shade_record(mesh, tri, k);
        out->has[k] = r != nullptr;
        out->diffuse[k] = r ? r->v[0] : 0.0f;
        out->highlight[k] = r ? r->v[1] : 0.0f;
    }
}
void render_flat_setup(const RenderContext* ctx, const RenderMesh* mesh,
                       const RenderTriangle* tri, FlatShader* out);

// Diffuse and highlight intensity at corner weights w.
inline void render_flat_intensity(const FlatShader& s, const double w[3], double* diffuse,
                                  double* highlight) {
    double d = 0.0, h = 0.0;
    if (s.smooth) {
        for (int k = 0; k < 3; ++k)
            if (s.has[k]) {
                d += s.diffuse[k] * w[k];
                h += s.highlight[k] * w[k];
            }
    } else if (s.has[0]) {
        d = s.diffuse[0];
        h = s.highlight[0];
    }
    *diffuse = d;
    *highlight = h;
}

// The lit colour from the intensities and the surface colour (its fourth component
// copied).
inline void render_flat_lit(const FlatShader& f, double d, double h, const float surface[4],
                            float lit[4]) {
    const double mm = (f.self + d) * f.opaque;
    for (int i = 0; i < 3; ++i) {
        const double s = surface[i];
        lit[i] = static_cast<float>(f.tinted ? s * (mm + h) : s * mm + h);
    }
    lit[3] = surface[3];
}

// The shading point of a triangle: weights of its three corners (summing to 1).
// `seed` picks the pseudo-random numbers of the material's randomness (the caller
// mixes the pixel, the triangle and the render's seed, so that a render does not
// depend on the number of threads).
void render_shade_flat(const RenderContext* ctx, const RenderMesh* mesh,
                       const RenderTriangle* tri, const double w[3], uint32_t seed,
                       ShadeResult* out);
void render_shade_phong(const RenderContext* ctx, const RenderMesh* mesh,
                        const RenderTriangle* tri, const double w[3], uint32_t seed,
                        ShadeResult* out);

// One light's Phong contribution: L the unit direction to the light, V the view
// vector, Nb the bumped normal, cd = |L . Nb|, k the spot (and shadow) factor,
// `random` 0..32767 for the material's randomness. Adds to the diffuse and highlight
// sums (red, green, blue).
void render_phong_light(const MaterialRecord* m, const float colour[4], const Vec3d& L,
                        const Vec3d& V, const Vec3d& Nb, double cd, double k, int32_t random,
                        double sd[3], double sh[3]);
// The reflection slot's colour along the view vector reflected about Nb.
void render_reflected(const MaterialRecord* m, const Vec3d& V, const Vec3d& Nb, float out[3]);
// The Phong combination of the sums, the reflected colour and the surface colour into
// the lit colour (its fourth component the surface's), with the given ambient level.
void render_phong_combine(const MaterialRecord* m, double ambient, const double sd[3],
                          const double sh[3], const float reflected[3], const float surface[4],
                          float lit[4]);

// A repeatable pseudo-random integer 0..32767 from a seed.
int32_t render_random(uint32_t seed);
