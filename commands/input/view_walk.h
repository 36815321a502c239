// Every VIEW attached to a drawing, with a window or not (extents, style fall-back).
#pragma once

#include "graphics/view/view.h"
#include "model/db/zobj.h"

template <typename F>
void for_each_model_view(MODEL* m, F f) {
    if (!m || !m->views) return;
    ZDLIST* p = m->views;
    do {
        ZDLIST* next = p->next;
        if (rtc_is_a(p, &VIEW::rtc_class)) f(static_cast<VIEW*>(p));
        p = next;
    } while (p && p != m->views);
}
