// Copying objects between drawings: named styles are referenced by pointer, and those
// pointers belong to the drawing a copy came from, so a copy that lands in another
// drawing takes that drawing's styles of the same names. Names compare exactly; a
// name the drawing does not hold leaves the copy without a style of that kind.
#pragma once

class MODEL;
class object;
struct TextureSlot;

// Rebinds the line style of every WIRE, the font of a TEXT2, the hatch pattern of a
// HATCH, the image-map slots of a MESH3's or CAMERA's material and, for a CONTAINER,
// everything below it, to the styles of the object's current MODEL. Nothing for an
// object outside any drawing.
void object_patterns_rebind(object* obj);
// For an image-map slot (kind 1) that has an image: the image becomes the MATRPATT
// of the same name in the model (none when the model has no such image).
void texture_slot_rebind(TextureSlot* slot, MODEL* model);

// The animation links of a copy that landed in another drawing: an object key or
// blend object naming an object copied along with it (inside the same group) names
// that object's copy; one naming any other object outside the copy's drawing names
// the holder of the key instead, as keys whose object dies do. `copy` must have the
// shape of `src` (a fresh clone). Nothing when either is null.
void object_tracks_rebind(object* src, object* copy);

// Gives a copied object a name unique in its drawing: a named object keeps its name
// when it is free, else the first free numbered form of it (obj_default_name); an
// unnamed CONTAINER passes this on to its children. 0 or the first naming error.
[[nodiscard]] int objects_unique_names(object* obj);
