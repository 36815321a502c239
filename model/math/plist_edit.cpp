// Point-list editing: repeats.
#include "model/math/plist_edit.h"

namespace {

Vec3 pt(const PointNode* n) { return {n->x, n->y, n->z}; }

bool same(const PointNode* a, const PointNode* b) {
    return vec3_near(pt(a), pt(b)) != 0;
}

// The last node of an open or closed list.
PointNode* last_node(PointNode* head) {
    PointNode* p = head;
    while (p->next && p->next != head) p = p->next;
    return p;
}

void remove_repeats(PointNode** list) {
    if (!list || !*list) return;
    PointNode* head = *list;
    PointNode* last = last_node(head);
    const bool closed = last->next == head;
    last->next = nullptr;
    for (PointNode* p = head; p->next;) {
        if (same(p, p->next)) {
            PointNode* q = p->next;
            p->next = q->next;
            delete q;
        } else {
            p = p->next;
        }
    }
    last = last_node(head);
    if (closed && last != head) {
        if (same(last, head)) {
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

void plist_remove_repeats(PointNode** list) { remove_repeats(list); }
