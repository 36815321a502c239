// Real meshes (scans and CAD parts in OFF format, fetched by bench/fetch_real_meshes.sh)
// for the boolean and reduction benchmarks: the files of a folder, an OFF reader that
// scales each mesh to 100 units across and rounds it to float, and the conversion to
// triangles and back with corners of equal coordinates made one vertex.
#pragma once

#include <dirent.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "bench/peer_mesh.h"
#include "tests/boolean/solid_check.h"

// The names of the .off files in `folder`, sorted; none when it cannot be read.
inline std::vector<std::string> off_files(const std::string& folder) {
    std::vector<std::string> files;
    if (DIR* d = opendir(folder.c_str())) {
        while (dirent* e = readdir(d)) {
            const std::string n = e->d_name;
            if (n.size() > 4 && n.compare(n.size() - 4, 4, ".off") == 0) files.push_back(n);
        }
        closedir(d);
    }
    std::sort(files.begin(), files.end());
    return files;
}

// An OFF file's polygons as triangle fans; false when unreadable. Comments may stand
// between any two lines; a vertex line's numbers after the position (colours,
// normals) are passed over.
inline bool read_off(const std::string& path, PeerMesh* m) {
    std::ifstream in(path);
    std::string word;
    auto next = [&](std::string* w) {
        while (in >> *w) {
            if ((*w)[0] != '#') return true;
            std::string rest;
            std::getline(in, rest);
        }
        return false;
    };
    if (!next(&word) || (word != "OFF" && word != "COFF" && word != "NOFF" && word != "CNOFF")) return false;
    long nv = 0, nf = 0;
    if (!(next(&word) && (nv = std::atol(word.c_str())) > 0 && next(&word))) return false;
    nf = std::atol(word.c_str());
    if (!next(&word)) return false;  // the edge count
    std::vector<double> xyz(size_t(nv) * 3);
    for (long i = 0; i < nv; ++i) {
        if (!next(&word)) return false;
        std::string rest;
        std::getline(in, rest);
        std::istringstream line(word + " " + rest);
        if (!(line >> xyz[size_t(i * 3)] >> xyz[size_t(i * 3 + 1)] >> xyz[size_t(i * 3 + 2)])) return false;
    }
    for (long f = 0; f < nf; ++f) {
        const long k = next(&word) ? std::atol(word.c_str()) : 0;
        if (k < 3) return false;
        std::vector<uint32_t> idx(static_cast<size_t>(k));
        for (uint32_t& i : idx)
            if (!(in >> i) || i >= uint32_t(nv)) return false;
        std::string rest;
        std::getline(in, rest);  // colours
        for (long j = 1; j + 1 < k; ++j) m->triangles.insert(m->triangles.end(), {idx[0], idx[size_t(j)], idx[size_t(j + 1)]});
    }
    // Scaled to 100 units along the longest side of the box, centred on the origin.
    double lo[3] = {1e300, 1e300, 1e300}, hi[3] = {-1e300, -1e300, -1e300};
    for (long i = 0; i < nv; ++i)
        for (int k = 0; k < 3; ++k) lo[k] = std::min(lo[k], xyz[size_t(i * 3 + k)]), hi[k] = std::max(hi[k], xyz[size_t(i * 3 + k)]);
    const double size = std::max({hi[0] - lo[0], hi[1] - lo[1], hi[2] - lo[2]});
    if (!(size > 0)) return false;
    for (long i = 0; i < nv; ++i)
        for (int k = 0; k < 3; ++k) m->xyz.push_back(float((xyz[size_t(i * 3 + k)] - (lo[k] + hi[k]) / 2) * 100 / size));
    return true;
}

inline std::vector<std::array<solidcheck::P3, 3>> tris_of(const PeerMesh& m) {
    std::vector<std::array<solidcheck::P3, 3>> t;
    for (size_t i = 0; i < m.triangles.size(); i += 3) {
        std::array<solidcheck::P3, 3> tri;
        for (int k = 0; k < 3; ++k) {
            const size_t v = m.triangles[i + size_t(k)] * 3;
            tri[k] = {m.xyz[v], m.xyz[v + 1], m.xyz[v + 2]};
        }
        t.push_back(tri);
    }
    return t;
}

// The peer's mesh, wound counter-clockwise seen from outside as CGAL wants it (the
// Box command's box runs the other way).
inline PeerMesh peer_of(const std::vector<std::array<solidcheck::P3, 3>>& t) {
    const solidcheck::Soup s = solidcheck::soup_of(t);
    const bool clockwise = solidcheck::signed_volume(s) > 0;
    PeerMesh m;
    for (const auto& p : s.v) m.xyz.insert(m.xyz.end(), {float(p[0]), float(p[1]), float(p[2])});
    for (const auto& f : s.t)
        m.triangles.insert(m.triangles.end(), {uint32_t(f[0]), uint32_t(f[clockwise ? 2 : 1]), uint32_t(f[clockwise ? 1 : 2])});
    return m;
}
