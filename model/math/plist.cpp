// Point lists, lists of point lists and bounding boxes declared in plist.h.
// Every walk stops at a null next or on coming back to the head, so open and closed
// lists are handled alike.
#include "model/math/plist.h"

#include <cmath>
#include <new>

#include "model/math/result.h"
#include "model/math/vec.h"

namespace {

template <typename Node>
void free_nodes(Node** list) {
    Node* head = *list;
    *list = nullptr;
    Node* n = head;
    while (n) {
        Node* next = n->next;
        delete n;
        n = (next == head) ? nullptr : next;
    }
}

template <typename Node>
Node* reverse_nodes(Node* head) {
    if (!head) return nullptr;
    Node* prev = nullptr;
    Node* n = head;
    bool closed = false;
    while (n) {
        Node* next = n->next;
        n->next = prev;
        prev = n;
        if (next == head) {
            closed = true;
            break;
        }
        n = next;
    }
    // prev is the old last node, now the head; the old head is now last.
    if (closed) head->next = prev;
    return prev;
}

}  // namespace

int plist_add(PointNode** list, const Vec3& p) {
    PointNode* n = new (std::nothrow) PointNode{*list, p.x, p.y, p.z, 0, 0};
    if (!n) return kOutOfMemory;
    *list = n;
    return 0;
}

int ptrlist_add(PtrNode** list, void* value) {
    PtrNode* n = new (std::nothrow) PtrNode{*list, value};
    if (!n) return kOutOfMemory;
    *list = n;
    return 0;
}

void list_free(PointNode** list) {
    free_nodes(list);
}

void list_free(PtrNode** list) {
    free_nodes(list);
}

void plist_list_free(PtrNode** lists) {
    PtrNode* head = *lists;
    for (PtrNode* n = head; n; n = (n->next == head) ? nullptr : n->next) {
        PointNode* inner = static_cast<PointNode*>(n->value);
        list_free(&inner);
        n->value = nullptr;
    }
    list_free(lists);
}

PointNode* list_reverse(PointNode* head) {
    return reverse_nodes(head);
}

PtrNode* list_reverse(PtrNode* head) {
    return reverse_nodes(head);
}

int plist_copy(PointNode** out, const PointNode* list) {
    *out = nullptr;
    PointNode* head = nullptr;
    PointNode* tail = nullptr;
    for (const PointNode* n = list; n; n = (n->next == list) ? nullptr : n->next) {
        PointNode* c = new (std::nothrow) PointNode{nullptr, n->x, n->y, n->z, n->flags, 0};
        if (!c) {
            list_free(&head);
            return kOutOfMemory;
        }
        if (tail) {
            tail->next = c;
        } else {
            head = c;
        }
        tail = c;
    }
    if (tail && plist_is_closed(list)) tail->next = head;
    *out = head;
    return 0;
}

int plist_list_copy(PtrNode** out, const PtrNode* lists) {
    *out = nullptr;
    PtrNode* head = nullptr;
    PtrNode* tail = nullptr;
    const PtrNode* n = lists;
    for (; n; n = (n->next == lists) ? nullptr : n->next) {
        PointNode* inner = nullptr;
        PtrNode* c = new (std::nothrow) PtrNode{nullptr, nullptr};
        if (!c || plist_copy(&inner, static_cast<const PointNode*>(n->value)) != 0) {
            delete c;
            plist_list_free(&head);
            return kOutOfMemory;
        }
        c->value = inner;
        if (tail) {
            tail->next = c;
        } else {
            head = c;
        }
        tail = c;
    }
    // A closed list of lists copies closed as well.
    if (tail && lists) {
        const PtrNode* last = lists;
        while (last->next && last->next != lists) last = last->next;
        if (last->next == lists) tail->next = head;
    }
    *out = head;
    return 0;
}

int plist_count(const PointNode* list) {
    int count = 0;
    for (const PointNode* n = list; n; n = (n->next == list) ? nullptr : n->next) ++count;
    return count;
}

bool plist_point_finite(const PointNode* n) {
    return vec3_finite({n->x, n->y, n->z});
}

bool plist_finite(const PointNode* list) {
    for (const PointNode* n = list; n; n = (n->next == list) ? nullptr : n->next)
        if (!plist_point_finite(n)) return false;
    return true;
}

bool plist_is_closed(const PointNode* list) {
    if (!list) return false;
    const PointNode* n = list;
    while (n->next && n->next != list) n = n->next;
    return n->next == list;
}

int vec3_near(const Vec3& a, const Vec3& b) {
    return std::fabs(double(a.x) - b.x) < 1e-6 && std::fabs(double(a.y) - b.y) < 1e-6 &&
                   std::fabs(double(a.z) - b.z) < 1e-6
               ? 1
               : 0;
}

void bbox_of_points(const Vec3& a, const Vec3& b, BBox* box) {
    Vec3 p = a, q = b;  // box may overlap a or b
    box->min = {std::fmin(p.x, q.x), std::fmin(p.y, q.y), std::fmin(p.z, q.z)};
    box->max = {std::fmax(p.x, q.x), std::fmax(p.y, q.y), std::fmax(p.z, q.z)};
}

void bbox_union(const BBox& box, BBox* into) {
    if (box.min.x < into->min.x) into->min.x = box.min.x;
    if (box.min.y < into->min.y) into->min.y = box.min.y;
    if (box.min.z < into->min.z) into->min.z = box.min.z;
    if (box.max.x > into->max.x) into->max.x = box.max.x;
    if (box.max.y > into->max.y) into->max.y = box.max.y;
    if (box.max.z > into->max.z) into->max.z = box.max.z;
}
