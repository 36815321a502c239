// The native drawing file (".qvm") and block file (".mcr") at file level: saving a
// whole MODEL or a selection with its base point, label and the styles it uses,
// plain or with the LZW pass; loading a drawing into a new or open model (layers and
// named styles merged by name) and a block into a selection; reading the header of
// every version from 100 to 112.
//
// File header: 4-byte words 1, the version (112), the coding (0 plain, 1 LZW-coded from
// offset 12). Drawing body: chunk 1024 { empty chunk 125; the named styles; the
// model's children; its views }. Block body: chunk 1025 { base point as three floats;
// empty chunk 125; chunk 1033 label; the styles the selection uses; the selected
// objects }. Versions 107 to 111 have an 8-byte header and are LZW-coded from offset
// 8; versions 100 to 106 are plain from offset 8 (older layout, old_reader.h).
//
// Saving writes a temporary file in the target's folder and renames it over the
// target only when complete, so a failed save leaves the previous file as it was.
// Results: 0 success; 2 and errno values for files that cannot be opened, written or
// renamed; 8 out of memory; 11 wrong top-level chunk (and older-layout group words);
// 13 bad header, bad arguments or unacceptable content; the stream codes of
// model/stream/iostream.h. No message is shown here: callers show their own.
// Long work shows the wait cursor.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "model/math/types.h"

class IOstream;
class IOrec;
class CONTAINER;
class MODEL;
class RTC;
class buffer;

inline constexpr size_t kBlockLabelSize = 256;  // label buffer of the block commands

// Writes the drawing file of `model` to `path`; pack 1 adds the LZW pass, any other
// value writes the plain file. 13 for a null model or an empty path.
[[nodiscard]] int drawing_file_save(const char* path, MODEL* model, int pack);

// Writes a block file: the objects of `selection` (drawable objects only, in buffer
// order) with the named styles of `model` they use, the label (cut to 255 bytes) and
// the base point. mode 0 plain, 1 with the LZW pass. 13 for an empty path or another
// mode; 0 without writing anything for a null selection.
[[nodiscard]] int block_file_save(const char* path, const char* label, MODEL* model, int mode,
                                  buffer* selection, const Vec3& base);

// Reads the drawing file at `path` into `model` (a fresh model or an open drawing).
// 0 without reading for a null model or an empty path. Whatever was placed before an
// error stays in the model. With `skipped`, the number of object records left out
// because their objects could not be rebuilt is stored there.
[[nodiscard]] int drawing_file_import(const char* path, MODEL* model, int32_t* skipped = nullptr);

// Reads a block file. The label (terminated, cut to label_size) and base point are
// filled from the file. With `selection` the block's top-level objects are added to it
// without a parent (the caller owns them); the block's named styles are merged into
// `model` by class and name (undoably through model_add_object when `new_level` is
// given, which is then cleared). Label-only mode: model and selection both null; only
// the label and base point are read. 0 without reading for an empty path; 11 when the
// top chunk is not a block body.
[[nodiscard]] int block_file_load(const char* path, char* label, size_t label_size, MODEL* model,
                                  buffer* selection, Vec3* base, int* new_level, int undo_depth);

// The same four from and into memory (the fuzz targets, and callers holding a file's
// bytes): the bytes are exactly those of the file. The savers write the plain form
// (no LZW pass) into `*out`, which is replaced only on success; 13 for a null `out`.
// The loaders read `size` bytes at `data` (null data with size 0 is an empty input),
// with the results of their file forms.
[[nodiscard]] int drawing_file_save_memory(std::vector<uint8_t>* out, MODEL* model);
[[nodiscard]] int block_file_save_memory(std::vector<uint8_t>* out, const char* label, MODEL* model,
                                         buffer* selection, const Vec3& base);
[[nodiscard]] int drawing_file_import_memory(const void* data, size_t size, MODEL* model);
[[nodiscard]] int block_file_load_memory(const void* data, size_t size, char* label,
                                         size_t label_size, MODEL* model, buffer* selection,
                                         Vec3* base, int* new_level, int undo_depth);

// Reads the file header from a plain stream just opened for reading and turns the
// stream into an LZW stream when the rest is coded. Raises 13 for a first word other
// than 1, a version above 112 or a coding other than 0 or 1.
void iorec_read_header(std::unique_ptr<IOrec>& stream);

// Places an object read inside `container` (ownership passes): named styles replace
// their namesakes in the model (a font style without a font, or an image style with
// neither image nor kept file bytes, is dropped instead); layers merge with the
// model's layer of the same name; views join the model's ring of views; drawable
// objects and viewports go into the container. Other classes are dropped.
void load_place_object(IOstream* s, CONTAINER* container, std::unique_ptr<RTC> obj);

// Hands a block read into `temp` over: its top-level objects into `selection`, its
// styles into `model` (a namesake already there is used instead, and the objects'
// references are redirected to it).
void block_merge(IOstream* s, MODEL* model, MODEL* temp, buffer* selection, int* new_level,
                 int undo_depth);

// Views read from a drawing file are attached to the model's ring of views; the
// caller (the document) takes them over. Tests and tools that have no document
// destroy them with this call. Returns the number destroyed.
int drawing_file_drop_views(MODEL* model);

// Older files keep a mesh's colour only as a colour index. This routine, when set,
// gives each mesh read from such a file the red, green and blue of its index; the view
// library, which owns the colour table, installs colour_index_rgb at start-up
// (view_type_register). Null: the material colour is left as read.
using MeshIndexColourFn = void (*)(float rgba[4], int index);
extern MeshIndexColourFn g_old_mesh_index_colour;
