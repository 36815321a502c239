// Materials and transforms in the native drawing file.
//
// Transform chunk (tag from the caller): the forward matrix, then the inverse, each
// 12 doubles (the 3x3 part row by row, then the translation): 192 content bytes. No
// chunk at all for a null transform.
//
// Material chunk (tag from the caller), sub-chunks in this order:
//   1026 colour (4 doubles); varint method word; shading values 1-3 in hundredths;
//        4 truncated; 5 hundredths; 6 truncated; 7 hundredths; 8 truncated;
//        9, 10 hundredths; 11 double                                  always
//   1027 / 1028 / 1034  texture slots 1 / 2 / 3                        when active
//   1035 smoothing angle (double, radians)                             always
//   1038 shading values 1-10 exactly (ten 4-byte float bit patterns)  when one of
//        them does not read back bit for bit from its coarse field
// Texture slot chunk:
//   1029 varint kind; amount in hundredths; varint mode word           always
//   1025 slot transform (transform chunk)                              when present
//   1030 ramp: varint reference count; unless negative (a built-in preset), varint
//        key count and per key position and colour (5 doubles)         when present
//   1031 varint mapping kind, varint flags with bit 11 set (both sign-extended from
//        16 bits); u and v scale; mapping matrix (12 doubles); key colour   image map
//   1036 u offset, v offset, angle, spare (4 doubles)                  image map
//   1037 name of an image-file style (class other than exactly MATRPATT)
//   1032 name of a MATRPATT style, else "<NONE>"                      image map
//   1033 three scales, two further floats (doubles); third further float in
//        hundredths; the two bytes as varints                          kinds 2-16
//   1038 the amount exactly (4-byte float bits); for kinds 2-16 then the noise
//        amount (float bits) and the turbulence flag (varint)          when the amount
//        or noise amount does not read back bit for bit from its hundredths, or the
//        flag differs from the one the reader infers (all three turbulence values set)
// "Hundredths" is a varint of the float times 100 truncated toward zero as a signed
// 32-bit value (out-of-range values are clamped to the int32 range). Chunk 1038 comes
// last and overwrites the coarse values; a reader that does not know it skips it.
#pragma once

#include <cstdint>
#include <memory>

#include "model/math/types.h"
#include "model/stream/iostream.h"
#include "model/material/material.h"

class MODEL;
class PATT;

// The built-in ramp of preset table `table` (0 for texture slots 1 and 3, 1 for slot
// 2) whose reference count is `id`, or null. The renderer installs the finder at
// start-up; without one, a preset ramp in a file reads as no ramp.
using PresetRampFinder = ColourRamp* (*)(int table, int32_t id);
PresetRampFinder io_set_preset_ramp_finder(PresetRampFinder finder);  // returns the old one

// 12 doubles.
void io_put_matrix(IOstream* s, const Matrix43* m);
void io_get_matrix(IOstream* s, Matrix43* m);

// Four floats as four doubles.
void io_put_colour4(IOstream* s, const float* colour);
void io_get_colour4(IOstream* s, float* colour);

// The transform chunk with `tag`; nothing for null.
void io_put_transform(IOstream* s, const Transform* t, uint32_t tag);
// Inside a chunk the caller has opened: a new Transform read from it is stored in
// `out` (what out held is released). Raises 8 when out of memory.
void io_get_transform(IOstream* s, std::unique_ptr<Transform>& out);

// The material chunk with `tag`.
void io_put_material(IOstream* s, const MaterialRecord* m, uint32_t tag);
// Inside a material chunk the caller has opened: reads its sub-chunks into `m`, which
// the caller has initialised (fields absent from the file keep their values). Image
// styles are looked up by name in `model` (null: none are found).
void io_get_material(IOstream* s, MODEL* model, MaterialRecord* m);

// One texture slot chunk.
void io_put_texture_slot(IOstream* s, const TextureSlot* slot, uint32_t tag);
// Inside a slot chunk the caller has opened; `ramp_table` picks the preset table.
void io_get_texture_slot(IOstream* s, TextureSlot* slot, MODEL* model, int ramp_table);

// Reads a string and stores in `out` the style of kind `cls` with exactly that name
// in `model` (null when there is none).
void io_get_style_by_name(IOstream* s, MODEL* model, PATT** out, const RtcClass* cls);

// Hundredths: value x 100 truncated toward zero, clamped to int32.
int32_t io_hundredths(double value);
