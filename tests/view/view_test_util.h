// Helpers of the view tests: a device that records what the driver hands to its
// callbacks, and small builders of drawing objects (on top of the drawing class
// tests' helpers: make_plist, children_of).
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <vector>

#include "../model/classes_support.h"
#include "graphics/view/projection.h"
#include "model/db/solid.h"
#include "model/db/tree.h"
#include "model/db/wire.h"
#include "model/db/zobj.h"
#include "model/math/plist.h"

struct RecordedLine {
    int x1, y1, x2, y2;
    bool operator==(const RecordedLine&) const = default;
};
struct RecordedTriangle {
    int p[6];
};
struct RecordedPen {
    int colour, wx, wy;
};

// A device that records every callback; attach() installs it in a projection.
struct RecordingDevice {
    std::vector<RecordedLine> lines;
    std::vector<RecordedTriangle> triangles;
    std::vector<RecordedPen> pens;

    void attach(ViewProjection* vp) {
        vp->context = this;
        vp->line = [](void* c, int x1, int y1, int x2, int y2) {
            static_cast<RecordingDevice*>(c)->lines.push_back({x1, y1, x2, y2});
            return 0;
        };
        vp->triangle = [](void* c, int x1, int y1, int x2, int y2, int x3, int y3) {
            static_cast<RecordingDevice*>(c)->triangles.push_back({{x1, y1, x2, y2, x3, y3}});
            return 0;
        };
        vp->pen = [](void* c, int colour, int wx, int wy) {
            static_cast<RecordingDevice*>(c)->pens.push_back({colour, wx, wy});
            return 0;
        };
    }
};

// A polyline (kind 0) with the given control points and its box.
inline std::unique_ptr<XPLINE> make_polyline(std::initializer_list<Vec3> pts, int kind = 0) {
    auto x = rtc_make<XPLINE>();
    x->kind = kind;
    x->control = make_plist(pts);
    x->own_box();
    return x;
}

// A parallel projection at scale 1 with the origin at (0, 0): a drawing point's x and
// y are its pixel.
inline ViewProjection unit_projection() {
    ViewProjection vp;
    vp.scale = 1.0;
    return vp;
}
