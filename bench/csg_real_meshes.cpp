// Booleans on real meshes (scans and CAD parts in OFF format, fetched by
// bench/fetch_real_meshes.sh) beside CGAL's corefinement. Each mesh of 1,000 to
// 100,000 triangles is scaled to 100 units across, rounded to float and checked
// closed, free of self-intersection and bounding a volume; each is then paired with a
// moved and turned copy of itself, with the next mesh, with a bar made by the Box
// command's code through it and with a UV sphere from the Sphere command's code. All
// four operations (A u B, A n B, A - B, B - A) run in a child process with a time
// limit; a result is right when it is closed by vertex identity, has no face without
// area and has CGAL's volume. Prints every pair and then the table: right, refused,
// wrong, never ends, and the times beside CGAL's.
//
// A result of the wrong volume is shown with CGAL's figure and the independent
// estimate of solidcheck beside it.
//
// Usage: csg_real_meshes [folder (build/real_meshes)] [limit seconds (60)] [most meshes (all)]
//                        [only meshes whose names hold this text]
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "bench/csg_child.h"
#include "bench/real_meshes.h"
#include "commands/boolean/csg.h"
#include "tests/boolean/campaign_solids.h"

namespace {

struct Named {
    std::string name;
    PeerMesh mesh;
};

enum Result { kRight, kRefused, kWrongOpen, kWrongVolume, kNeverEnds, kResults };
const char* kResultName[] = {"right", "refused", "open", "volume", "never-ends"};

struct Row {
    long n[kResults] = {};
    std::vector<double> ours, cgal;  // CPU seconds of operations both ended
};

double median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const std::string folder = argc > 1 ? argv[1] : "build/real_meshes";
    const double limit = argc > 2 ? std::atof(argv[2]) : 60;
    const size_t most = argc > 3 && std::atol(argv[3]) > 0 ? size_t(std::atol(argv[3])) : size_t(-1);
    const std::string only = argc > 4 ? argv[4] : "";
    rtc_register_all();

    const std::vector<std::string> files = off_files(folder);
    std::vector<Named> meshes;
    for (const std::string& f : files) {
        Named m{f.substr(0, f.size() - 4), {}};
        if (m.name.find(only) == std::string::npos) continue;
        if (!read_off(folder + "/" + f, &m.mesh)) continue;
        const size_t n = m.mesh.triangles.size() / 3;
        if (n < 1000 || n > 100000) continue;
        const solidcheck::Shape s = solidcheck::shape_of(solidcheck::soup_of(tris_of(m.mesh)));
        const char* why = !s.closed() ? "not closed by vertex identity" : s.no_area ? "faces without area" : cgal_unsound_solid(m.mesh);
        if (why) {
            std::printf("skipped %-28s %7zu triangles: %s\n", m.name.c_str(), n, why);
            continue;
        }
        meshes.push_back(std::move(m));
        if (meshes.size() >= most) break;
    }
    std::sort(meshes.begin(), meshes.end(),
              [](const Named& a, const Named& b) { return a.mesh.triangles.size() < b.mesh.triangles.size(); });
    std::printf("%zu sound meshes of 1,000 to 100,000 triangles\n\n", meshes.size());

    const char* kPairNames[] = {"turned copy", "other mesh", "box through", "sphere through"};
    std::map<std::string, Row> rows;
    std::uniform_real_distribution<double> u(-1, 1);
    for (size_t i = 0; i < meshes.size(); ++i) {
        const campaign::Tris a = tris_of(meshes[i].mesh);
        const size_t na = a.size();
        const std::string band = na < 10000 ? "1k-10k" : "10k-100k";
        for (int kind = 0; kind < 4; ++kind) {
            // The placement depends on the mesh and the kind of pair only.
            std::mt19937_64 rng(std::hash<std::string>()(meshes[i].name) * 4 + uint64_t(kind));
            campaign::Tris b;
            std::string what = kPairNames[kind];
            if (kind == 0) {
                b = campaign::moved(a, campaign::Rotation::about({u(rng), u(rng), u(rng) + 1e-3}, 0.05 + 0.4 * std::fabs(u(rng))),
                                    {0, 0, 0}, {10 * u(rng), 10 * u(rng), 10 * u(rng)});
            } else if (kind == 1) {
                const Named& o = meshes[(i + 1) % meshes.size()];
                b = campaign::moved(tris_of(o.mesh), campaign::Rotation::about({u(rng), u(rng), u(rng) + 1e-3}, 3 * u(rng)),
                                    {0, 0, 0}, {20 * u(rng), 20 * u(rng), 20 * u(rng)});
                what += " (" + o.name + ")";
            } else if (kind == 2) {
                b = campaign::moved(campaign::box({-60, -8, -8}, {120, 16, 16}),
                                    campaign::Rotation::about({u(rng), u(rng), u(rng) + 1e-3}, 3 * u(rng)), {0, 0, 0},
                                    {10 * u(rng), 10 * u(rng), 10 * u(rng)});
            } else {
                b = campaign::sphere({15 * u(rng), 15 * u(rng), 15 * u(rng)}, 0, 25 + 10 * std::fabs(u(rng)), 32, 48);
            }
            const PeerMesh pa = peer_of(a), pb = peer_of(b);
            auto ma = campaign::to_mesh(a), mb = campaign::to_mesh(b);
            const solidcheck::Soup sa = solidcheck::soup_of(a), sb = solidcheck::soup_of(b);
            const double va = std::fabs(solidcheck::signed_volume(sa)), vb = std::fabs(solidcheck::signed_volume(sb));
            const double slack = 2e-6 * (va + vb) +
                                 kCsgTolerance * std::min(solidcheck::surface_area(sa), solidcheck::surface_area(sb));
            std::string line;
            Row& row = rows[std::string(kPairNames[kind]) + " " + band];
            for (int op = 0; op < 4; ++op) {
                double want = 0;
                size_t cgal_tris = 0;
                const std::clock_t c0 = std::clock();
                const bool cgal_ok = op < 3 ? cgal_boolean(pa, pb, op, &want, &cgal_tris) : cgal_boolean(pb, pa, 2, &want, &cgal_tris);
                const double cgal_s = double(std::clock() - c0) / CLOCKS_PER_SEC;
                CsgChildOutcome o;
                const bool ended = op < 3 ? csg_in_child(ma.get(), mb.get(), op, limit, &o)
                                          : csg_in_child(mb.get(), ma.get(), kCsgSubtraction, limit, &o);
                Result r;
                if (!ended)
                    r = kNeverEnds;
                else if (!o.has_mesh)
                    r = o.code == 0 && cgal_ok && want <= slack ? kRight : kRefused;
                else if (o.unmatched || o.no_area)
                    r = kWrongOpen;
                else if (!cgal_ok || std::fabs(o.volume - want) > slack)
                    r = kWrongVolume;
                else
                    r = kRight;
                ++row.n[r];
                if (ended && cgal_ok) row.ours.push_back(o.cpu), row.cgal.push_back(cgal_s);
                char buf[200], wrong[120] = "";
                if (r == kWrongVolume)
                    std::snprintf(wrong, sizeof wrong, " (%.6g, CGAL %.6g, estimate %.6g)", o.volume, want,
                                  solidcheck::expected_volumes(sa, sb, false, 400).of(op));
                std::snprintf(buf, sizeof buf, " %s%s %.3f/%.3f", kResultName[r], wrong, ended ? o.cpu : limit, cgal_s);
                line += buf;
            }
            std::printf("%-26s %6zu  %-34s%s\n", meshes[i].name.c_str(), na, what.c_str(), line.c_str());
            std::fflush(stdout);
        }
    }

    std::printf("\n%-26s %6s %6s %6s %6s %6s %6s %10s %10s\n", "pairs", "ops", "right", "refuse", "open", "volume",
                "never", "ours ms", "CGAL ms");
    Row all;
    for (auto& [k, r] : rows) {
        long n = 0;
        for (long c : r.n) n += c;
        std::printf("%-26s %6ld %6ld %6ld %6ld %6ld %6ld %10.1f %10.1f\n", k.c_str(), n, r.n[0], r.n[1], r.n[2], r.n[3],
                    r.n[4], 1000 * median(r.ours), 1000 * median(r.cgal));
        for (int c = 0; c < kResults; ++c) all.n[c] += r.n[c];
        all.ours.insert(all.ours.end(), r.ours.begin(), r.ours.end());
        all.cgal.insert(all.cgal.end(), r.cgal.begin(), r.cgal.end());
    }
    long n = 0;
    for (long c : all.n) n += c;
    double ours = 0, cgal = 0;
    for (double t : all.ours) ours += t;
    for (double t : all.cgal) cgal += t;
    std::printf("%-26s %6ld %6ld %6ld %6ld %6ld %6ld %10.1f %10.1f\n", "all (median)", n, all.n[0], all.n[1], all.n[2],
                all.n[3], all.n[4], 1000 * median(all.ours), 1000 * median(all.cgal));
    std::printf("CPU seconds in all, operations that ended: ours %.1f, CGAL %.1f\n", ours, cgal);
    return 0;
}
