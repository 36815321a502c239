// Default names for new objects of a drawing, and the engine's small heap texts.
//
// Heap texts are char arrays made with new[] and freed with delete[] (str_free),
// the same form as keyframe track names. A null heap text counts as the empty text.
// Result codes: 0 success, 8 out of memory (nothing changed), 13 bad argument.
#pragma once

#include "model/db/zobj.h"

// Names `obj` so that no other object of its class in `model` carries the name
// (objects of a subclass count as the class: a new LIGHT may not take the name of a
// SPOTLITE; lights of every kind count as one class, so a new SPOTLITE may not take
// the name of a plain LIGHT either). Patterns are checked
// against the pattern ring, everything else against the whole object tree.
//
// The base is `text` when it is not empty, else "Viewpoint01" for a VPORT,
// "Light01" for a LIGHT or SPOTLITE, "Camera01" for a CAMERA, "Object01" otherwise.
// The base is kept when it is free. Otherwise, and always for a CAMERA named
// "<Viewport>", the name is the base less its trailing digits followed by the first
// free number n = 1, 2, 3 ... printed as "%02d" ("Wall07" taken gives "Wall01" or the
// first free number; "12" taken gives "01"). A null model counts as empty.
// `reserved` is not used. 0, 8 out of memory (name unchanged), 13 for a null object.
[[nodiscard]] int obj_default_name(MODEL* model, ZOBJ* obj, int reserved, const char* text);

// Appends one character to the heap text *s (replacing the array). 0, 8 out of
// memory (*s unchanged), 13 for a null `s`.
[[nodiscard]] int str_append_char(char** s, char c);
// Stores in *out a new heap copy of `text` (null gives the empty text). The old
// value of *out is not freed. 0, 8 out of memory (*out unchanged), 13 for a null `out`.
[[nodiscard]] int str_dup_into(char** out, const char* text);
// Frees the heap text *s and clears it. Null is accepted.
void str_free(char** s);
