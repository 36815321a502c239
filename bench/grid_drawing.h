// The large test drawing of the picking and snapping benchmarks: short diagonal lines
// in a grid of cells 10 units apart, spread over four layers, every `circle_every`-th
// cell a small circle instead (0: none); a VIEW at 10 pixels per unit attached, and
// the objects' boxes in a flat array for the linear-scan peers.
#pragma once

#include <memory>
#include <vector>

#include "graphics/view/view.h"
#include "model/db/tree.h"
#include "model/db/wire.h"
#include "model/geom/regen.h"
#include "model/math/scalar.h"

// A short diagonal line from (x, y) to (x + 6, y + 6), with its box.
inline std::unique_ptr<XPLINE> grid_short_line(float x, float y) {
    auto line = rtc_make<XPLINE>();
    PointNode* head = nullptr;
    (void)plist_add(&head, Vec3{x + 6, y + 6, 0});
    (void)plist_add(&head, Vec3{x, y, 0});
    line->control = head;
    line->own_box();
    return line;
}

struct GridDrawing {
    std::unique_ptr<MODEL> model;
    std::unique_ptr<VIEW> view;
    std::vector<BBox> boxes;
};

inline GridDrawing make_grid_drawing(int objects, int columns, int circle_every) {
    rtc_register_all();
    view_type_register();
    GridDrawing out;
    out.model = rtc_make<MODEL>();
    LAYER* layers[4] = {rtc_cast<LAYER>(out.model->first_child()), nullptr, nullptr, nullptr};
    for (int i = 1; i < 4; ++i) {
        auto l = rtc_make<LAYER>();
        layers[i] = l.get();
        (void)container_insert(out.model.get(), l.release());
    }
    out.boxes.reserve(objects);
    for (int i = 0; i < objects; ++i) {
        const float x = static_cast<float>(i % columns) * 10, y = static_cast<float>(i / columns) * 10;
        object* o;
        if (circle_every > 0 && i % circle_every == circle_every / 2) {
            auto e = rtc_make<ELARC>();
            e->flags = kElarcCircular | kElarcWholeEllipse;
            e->centre = {x + 3, y + 3, 0};
            e->axis1 = {x + 6, y + 3, 0};
            e->axis2 = {x + 3, y + 6, 0};
            e->end = kTwoPi;
            (void)regen_object(e.get());
            o = e.release();
        } else {
            o = grid_short_line(x, y).release();
        }
        out.boxes.push_back(o->box);
        (void)container_insert(layers[i % 4], o);
    }
    out.view = rtc_make<VIEW>();
    out.view->projection.scale = 10;  // the 5-pixel aperture is half a unit
    return out;
}

// The grid's first layer (a quarter of its objects).
inline LAYER* grid_first_layer(GridDrawing& d) { return rtc_cast<LAYER>(d.model->first_child()); }
