// Default names for new objects (unique per class within a model, lights of every
// kind counting as one class) and heap texts.
#include "model/db/naming.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <unordered_set>

#include "model/db/find.h"
#include "model/db/patt.h"
#include "model/db/solid.h"
#include "model/math/result.h"

namespace {

const char* default_base(const ZOBJ* obj) {
    if (rtc_is<VPORT>(obj)) return "Viewpoint01";
    if (rtc_is<LIGHT>(obj)) return "Light01";
    if (rtc_is<CAMERA>(obj)) return "Camera01";
    return "Object01";
}

// Calls fn(name) for every object of `model` that a new object of class `cls` could
// clash with: patterns of the class for a pattern class, objects of the class in the
// tree otherwise; `self` is left out. Stops when fn returns true; returns whether it did.
template <class F>
bool any_same_kind(MODEL* model, const ZOBJ* self, const RtcClass* cls, F&& fn) {
    if (rtc_class_is(cls, &PATT::rtc_class)) {
        ZDLIST* head = model->patterns;
        if (!head) return false;
        ZDLIST* p = head;
        do {
            auto* z = static_cast<ZOBJ*>(p);
            if (z != self && rtc_is_a(z, cls) && fn(std::string_view(z->name()))) return true;
            p = p->next;
        } while (p != head);
        return false;
    }
    for (ZOBJ* z = tree_next(model, model); z; z = tree_next(z, model)) {
        if (z != self && rtc_is_a(z, cls) && fn(std::string_view(z->name()))) return true;
    }
    return false;
}

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

// The first free "<stem>%02d" for n = 1, 2, 3 ...
std::string first_free_numbered(MODEL* model, const ZOBJ* self, const RtcClass* cls,
                                const std::string& stem) {
    // One pass collects every name of the form stem + digits; the numbers are then
    // tried against the set instead of searching the model once per number.
    std::unordered_set<std::string> taken;
    if (model) {
        any_same_kind(model, self, cls, [&](std::string_view name) {
            if (name.size() > stem.size() && name.substr(0, stem.size()) == stem) {
                bool digits = true;
                for (char c : name.substr(stem.size())) digits = digits && is_digit(c);
                if (digits) taken.emplace(name);
            }
            return false;
        });
    }
    char number[16];
    // At most taken.size() numbers can be in use, so the loop ends well before INT_MAX.
    for (int n = 1; n < INT_MAX; ++n) {
        std::snprintf(number, sizeof number, "%02d", n);
        std::string candidate = stem + number;
        if (!taken.count(candidate)) return candidate;
    }
    return stem + number;
}

}  // namespace

int obj_default_name(MODEL* model, ZOBJ* obj, int /*reserved*/, const char* text) {
    if (!obj) return kBadArgument;
    // Lights of every kind share one set of names: a spot light clashes with an omni
    // light of the same name as much as the other way round.
    const RtcClass* cls = rtc_is<LIGHT>(obj) ? &LIGHT::rtc_class : obj->klass();
    try {
        // A copy: `text` may be the object's own name, which set_string replaces.
        const std::string base = (text && *text) ? text : default_base(obj);
        bool number = rtc_is<CAMERA>(obj) && base == "<Viewport>";
        if (!number && model) {
            number =
                any_same_kind(model, obj, cls, [&](std::string_view name) { return name == base; });
        }
        if (!number) return obj->set_string(0, base.c_str());
        size_t stem_len = base.size();
        while (stem_len > 0 && is_digit(base[stem_len - 1])) --stem_len;
        const std::string name = first_free_numbered(model, obj, cls, base.substr(0, stem_len));
        return obj->set_string(0, name.c_str());
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
}

int str_append_char(char** s, char c) {
    if (!s) return kBadArgument;
    const size_t len = *s ? std::strlen(*s) : 0;
    char* grown = new (std::nothrow) char[len + 2];
    if (!grown) return kOutOfMemory;
    if (len) std::memcpy(grown, *s, len);
    grown[len] = c;
    grown[len + 1] = '\0';
    delete[] * s;
    *s = grown;
    return 0;
}

int str_dup_into(char** out, const char* text) {
    if (!out) return kBadArgument;
    if (!text) text = "";
    const size_t len = std::strlen(text);
    char* copy = new (std::nothrow) char[len + 1];
    if (!copy) return kOutOfMemory;
    std::memcpy(copy, text, len + 1);
    *out = copy;
    return 0;
}

void str_free(char** s) {
    if (!s) return;
    delete[] * s;
    *s = nullptr;
}
