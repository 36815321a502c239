// Fuzz target for the pattern-library text reader: any text is read both as a
// line-style and as a hatch library into a fresh drawing without crashing or
// leaking; every dash list read is a finite, non-negative list of dash-gap pairs;
// and the first patterns read are drawn (a dashed polyline, a hatched square) so
// that hostile numbers also go through dash cutting and hatch line layout, which
// must finish and stay inside the square. The shapes are 2 units across: dense
// patterns cost in proportion to the area, and any layout fault shows at any size.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "model/db/patt.h"
#include "model/db/tree.h"
#include "model/db/wire.h"
#include "model/geom/patterns.h"
#include "model/geom/regen.h"

namespace {

void check_dashes(const std::vector<double>& d) {
    if (d.size() % 2) std::abort();
    for (double v : d)
        if (!std::isfinite(v) || v < 0) std::abort();
}

PointNode* list_of(std::initializer_list<Vec3> pts) {
    PointNode* head = nullptr;
    for (auto it = std::rbegin(pts); it != std::rend(pts); ++it) (void)plist_add(&head, *it);
    return head;
}

void draw_with(LINEPATT* style) {
    auto x = rtc_make<XPLINE>();
    x->control = list_of({{0, 0, 0}, {2, 0, 0}, {2, 2, 0}});
    x->line_style = style;
    if (regen_object(x.get()) != 0) std::abort();
}

void hatch_with(HATCHPATT* pattern) {
    auto h = rtc_make<HATCH>();
    PtrNode* set = nullptr;
    (void)ptrlist_add(&set, list_of({{0, 0, 0}, {2, 0, 0}, {2, 2, 0}, {0, 2, 0}}));
    h->contours[0] = set;
    h->pattern = pattern;
    h->values[0] = 1;
    if (regen_object(h.get()) != 0) std::abort();
    for (PtrNode* r = h->strokes; r; r = r->next)
        for (PointNode* p = static_cast<PointNode*>(r->value); p; p = p->next)
            if (!(p->x > -0.01 && p->x < 2.01 && p->y > -0.01 && p->y < 2.01)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool registered = (rtc_register_all(), true);
    (void)registered;
    auto model = rtc_make<MODEL>();
    if (!model) return 0;
    const char* text = reinterpret_cast<const char*>(data);
    if (patt_read_text(model.get(), text, size, &LINEPATT::rtc_class) != 0) std::abort();
    if (patt_read_text(model.get(), text, size, &HATCHPATT::rtc_class) != 0) std::abort();

    int drawn_lines = 0, drawn_hatches = 0;
    ZDLIST* head = model->patterns;
    for (ZDLIST* n = head; n; n = (n->next == head) ? nullptr : n->next) {
        if (LINEPATT* lp = rtc_cast<LINEPATT>(n)) {
            check_dashes(lp->dashes);
            if (drawn_lines++ < 4) draw_with(lp);
        } else if (HATCHPATT* hp = rtc_cast<HATCHPATT>(n)) {
            if (hp->lines.size() > static_cast<size_t>(kPattMaxLines)) std::abort();
            for (const HatchLine& l : hp->lines) check_dashes(l.dashes);
            if (drawn_hatches++ < 4) hatch_with(hp);
        }
    }
    return 0;
}
