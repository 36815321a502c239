// Point-list editing: repeats, flag-change starts and runs of equal flags.
#include "model/math/plist_edit.h"

namespace {

Vec3 pt(const PointNode* n) { return {n->x, n->y, n->z}; }

bool same(const PointNode* a, const PointNode* b, bool flagged) {
    return vec3_near(pt(a), pt(b)) != 0 && (!flagged || a->flags == b->flags);
}

// The last node of an open or closed list.
PointNode* last_node(PointNode* head) {
    PointNode* p = head;
    while (p->next && p->next != head) p = p->next;
    return p;
}

void remove_repeats(PointNode** list, bool flagged) {
    if (!list || !*list) return;
    PointNode* head = *list;
    PointNode* last = last_node(head);
    const bool closed = last->next == head;
    last->next = nullptr;
    for (PointNode* p = head; p->next;) {
        if (same(p, p->next, flagged)) {
            PointNode* q = p->next;
            p->next = q->next;
            delete q;
        } else {
            p = p->next;
        }
    }
    last = last_node(head);
    if (closed && last != head) {
        if (same(last, head, flagged)) {
            PointNode* before = head;
            while (before->next != last) before = before->next;
            delete last;
            before->next = nullptr;
            last = before;
        }
    }
    if (closed) last->next = head;
}

}  // namespace

int plist_copy_unique(PointNode** out, const PointNode* list) {
    if (int r = plist_copy(out, list)) return r;
    plist_remove_repeats(out);
    return 0;
}

int list_reaches(const PointNode* from, const PointNode* to) {
    if (!from || !to) return 0;
    const PointNode* p = from;
    do {
        if (p == to) return 1;
        p = p->next;
    } while (p && p != from);
    return 0;
}

void plist_remove_repeats(PointNode** list) { remove_repeats(list, false); }
void plist_remove_repeats_flagged(PointNode** list) { remove_repeats(list, true); }

void plist_start_at_flag_change(PointNode** contour, uint32_t mask) {
    if (!contour || !*contour) return;
    PointNode* head = *contour;
    PointNode* last = last_node(head);
    if (last == head || !same(last, head, true)) return;
    PointNode* before = head;
    while (before->next != last) before = before->next;
    // Find the change on the ring without the repeat.
    PointNode* start = nullptr;
    PointNode* prev = before;
    for (PointNode* p = head; p != last; prev = p, p = p->next) {
        if ((p->flags & mask) != (prev->flags & mask)) {
            start = p;
            break;
        }
    }
    if (!start) return;
    const bool closed = last->next == head;
    delete last;
    before->next = head;  // a ring for the turn
    PointNode* new_last = head;
    while (new_last->next != start) new_last = new_last->next;
    new_last->next = closed ? start : nullptr;
    *contour = start;
}

PointNode* vertex_list_next(PointNode* list, VertexListState* state) {
    if (!state) return nullptr;
    PointNode* run;
    if (!state->started) {
        state->started = true;
        run = list;
    } else {
        run = state->next_run;
    }
    if (state->cut) {
        state->cut->next = state->cut_next;
        state->cut = nullptr;
    }
    if (!run) {
        state->next_run = nullptr;
        return nullptr;
    }
    PointNode* end = run;
    while (end->next && end->next != list && (end->next->flags & state->mask) == (run->flags & state->mask))
        end = end->next;
    state->next_run = end->next == list ? nullptr : end->next;
    if (end->next) {  // the last run of a ring is cut from the head as well
        state->cut = end;
        state->cut_next = end->next;
        end->next = nullptr;
    }
    return run;
}

void vertex_list_end(VertexListState* state) {
    if (!state) return;
    if (state->cut) state->cut->next = state->cut_next;
    state->cut = nullptr;
    state->next_run = nullptr;
}
