// The drawing of the file benchmarks: 1,000,000 line-work objects (polylines and arcs
// with their display geometry regenerated) spread over ten layers, made once a
// process. Saved plain it is a file of about 141 MB.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "model/db/tree.h"
#include "model/db/wire.h"
#include "model/file/drawing_file.h"
#include "model/file/records.h"
#include "model/geom/regen.h"

namespace bench {

constexpr int kLineWorkObjects = 1000000;

inline std::unique_ptr<MODEL> new_model() {
    std::unique_ptr<RTC> m;
    if (rtc_init(m, &MODEL::rtc_class) != 0) return nullptr;
    return std::unique_ptr<MODEL>(static_cast<MODEL*>(m.release()));
}

inline PointNode* polyline_points(float x, float y) {
    PointNode* head = nullptr;
    (void)plist_add(&head, Vec3{x + 1, y + 1, 0});
    (void)plist_add(&head, Vec3{x + 1, y, 0});
    (void)plist_add(&head, Vec3{x, y, 0});
    return head;
}

inline MODEL* line_work() {
    static std::unique_ptr<MODEL> model = [] {
        drawing_file_register();
        auto m = new_model();
        std::vector<LAYER*> layers;
        for (int i = 0; i < 10; ++i) {
            auto* l = rtc_make<LAYER>().release();
            l->set_string(0, ("Layer " + std::to_string(i)).c_str());
            (void)container_insert(m.get(), l);
            layers.push_back(l);
        }
        for (int i = 0; i < kLineWorkObjects; ++i) {
            const float x = float(i % 1000), y = float(i / 1000);
            object* o;
            if (i % 4 == 3) {
                auto* a = rtc_make<ELARC>().release();
                a->flags = kElarcCircular;
                a->centre = {x, y, 0};
                a->axis1 = {x + 0.5f, y, 0};
                a->axis2 = {x, y + 0.5f, 0};
                a->end = 1.5;
                o = a;
            } else {
                auto* p = rtc_make<XPLINE>().release();
                p->control = polyline_points(x, y);
                o = p;
            }
            o->colour = i % 16;
            (void)regen_object(o);
            (void)container_insert(layers[i % layers.size()], o);
        }
        return m;
    }();
    return model.get();
}

}  // namespace bench
