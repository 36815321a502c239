// The CGAL peers of the boolean and reduction benchmarks: corefinement booleans and
// edge-collapse simplification on surface meshes. Built only with ZELO_BENCH_PEERS.
#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>
#include <CGAL/Polygon_mesh_processing/corefinement.h>
#include <CGAL/Polygon_mesh_processing/measure.h>
#include <CGAL/Polygon_mesh_processing/orientation.h>
#include <CGAL/Polygon_mesh_processing/self_intersections.h>
#include <CGAL/Surface_mesh.h>
#include <CGAL/Surface_mesh_simplification/Policies/Edge_collapse/Count_ratio_stop_predicate.h>
#include <CGAL/Surface_mesh_simplification/edge_collapse.h>

#include "bench/peer_mesh.h"

namespace {

using Kernel = CGAL::Exact_predicates_inexact_constructions_kernel;
using Surface = CGAL::Surface_mesh<Kernel::Point_3>;
namespace PMP = CGAL::Polygon_mesh_processing;

Surface to_surface(const PeerMesh& m) {
    Surface s;
    std::vector<Surface::Vertex_index> v;
    for (size_t i = 0; i < m.xyz.size(); i += 3) v.push_back(s.add_vertex({m.xyz[i], m.xyz[i + 1], m.xyz[i + 2]}));
    for (size_t i = 0; i < m.triangles.size(); i += 3) s.add_face(v[m.triangles[i]], v[m.triangles[i + 1]], v[m.triangles[i + 2]]);
    return s;
}

}  // namespace

bool cgal_boolean(const PeerMesh& a, const PeerMesh& b, int op, double* volume, size_t* triangles) {
    Surface sa = to_surface(a), sb = to_surface(b), out;
    bool ok = false;
    if (op == 0) ok = PMP::corefine_and_compute_union(sa, sb, out);
    if (op == 1) ok = PMP::corefine_and_compute_intersection(sa, sb, out);
    if (op == 2) ok = PMP::corefine_and_compute_difference(sa, sb, out);
    if (!ok) return false;
    *volume = std::fabs(CGAL::to_double(PMP::volume(out)));
    *triangles = out.number_of_faces();
    return true;
}

const char* cgal_unsound_solid(const PeerMesh& m) {
    Surface s = to_surface(m);
    if (s.number_of_faces() != m.triangles.size() / 3) return "not a polygon mesh";
    if (!CGAL::is_closed(s)) return "not closed";
    if (PMP::does_self_intersect(s)) return "self-intersecting";
    if (!PMP::does_bound_a_volume(s)) return "bounds no volume";
    return nullptr;
}

size_t cgal_simplify(const PeerMesh& m, double ratio) {
    Surface s = to_surface(m);
    CGAL::Surface_mesh_simplification::Count_ratio_stop_predicate<Surface> stop(ratio);
    CGAL::Surface_mesh_simplification::edge_collapse(s, stop);
    return s.number_of_faces();
}
