#pragma once
// Points for the in-plane tests: 24 exact points, corners and crossings of an edge with
// a plane in turn, each with a motion (moving or not), from corners that `corner` draws.

#include <array>
#include <random>
#include <vector>

#include "commands/boolean/csg_exact.h"

namespace exact_points {

template <class Corner>
void draw(std::mt19937_64& rng, Corner corner, std::vector<csg::ExactPoint>& pts, std::vector<csg::Motion>& mos) {
    while (pts.size() < 24) {
        std::array<double, 3> c[5];
        for (auto& p : c) p = corner();
        const bool moves = rng() % 2;
        if (pts.size() % 2 == 0) {
            pts.push_back(csg::exact_corner(c[0].data()));
            mos.push_back(csg::corner_motion(moves));
        } else if (csg::orient3d(c[0].data(), c[1].data(), c[2].data(), c[3].data()) *
                       csg::orient3d(c[0].data(), c[1].data(), c[2].data(), c[4].data()) < 0) {
            pts.push_back(csg::exact_crossing(c[0].data(), c[1].data(), c[2].data(), c[3].data(), c[4].data()));
            mos.push_back(csg::crossing_motion(c[0].data(), c[1].data(), c[2].data(), c[3].data(), c[4].data(), moves));
        }
    }
}

}  // namespace exact_points
