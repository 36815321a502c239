// Reader of drawing and block files of versions 100 to 111, which have no chunks:
// the named styles, then the layers (drawings) or the base point (blocks), then the
// objects grouped by kind, each a fixed run of 4-byte words, floats, doubles and
// counted strings whose presence depends on the version. Versions 107 to 111 are
// LZW-coded behind their 8-byte header (the caller's stream already decodes them).
//
// All numbers are little-endian 4-byte words unless said otherwise; a string is a
// 4-byte length and that many bytes; a point is three floats; a point list is a count
// and its points; a point-list set is a count and its lists. Every count is checked
// against the bytes the file can still deliver before memory is taken, and every
// index against what it indexes, as an unsigned value. Failures raise through the
// stream: 8 out of memory or geometry that cannot be rebuilt, 11 a hatch-group word
// other than 0 or 1, 13 unacceptable content. Objects placed before an error stay.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "model/math/types.h"

class IOstream;
class CONTAINER;
class MODEL;
class buffer;
class object;
class RTC;

// A whole drawing into `model`: styles (from version 103), a layer count and layers.
void old_read_drawing(IOstream* s, MODEL* model);

// A block: (below version 103 four ignored words), styles into `model`, the base
// point, then the object groups into `selection`. With `info_only` the styles are
// read into a scratch model and only the base point is kept (the older layout has no
// label, so the label stays empty).
void old_read_block(IOstream* s, MODEL* model, buffer* selection, Vec3* base, bool info_only);

// The named styles: from version 103 a count and that many style records. Styles of
// a class and name the model already has are dropped, the model's own kept.
void old_read_styles(IOstream* s, MODEL* model);
// One layer record: a 16-byte name (terminated here even when the file fills all 16
// bytes), then its object groups; objects of a layer named like an existing one go
// into that layer.
void old_read_layer(IOstream* s, MODEL* model);
// The object groups in their fixed order (with `with_groups` the group of kind 16 at
// the end); objects go into `container`, or (with no container) into `selection`.
void old_read_groups(IOstream* s, MODEL* model, CONTAINER* container, buffer* selection,
                     bool with_groups);
// One group: a 4-byte count, then that many objects of the kind, each placed as for
// old_read_groups.
void old_read_group(IOstream* s, MODEL* model, CONTAINER* container, buffer* selection,
                    int32_t kind);
// One object record of the kind's class (common part, the kind's part, the closing
// words), its display geometry rebuilt. Ownership passes to the caller; null (with a
// logged warning) when the geometry cannot be built from what was read.
std::unique_ptr<RTC> old_read_object(IOstream* s, MODEL* model, int32_t kind);
// A string: a 4-byte length (negative gives 13), then the bytes.
std::string old_read_string(IOstream* s);
