// Opening, importing and exporting drawings by file type, and inserting block files.
//
// The type of a file is the text of its name from the last '.' (after the last '/'),
// compared without regard to case. Only the native drawing type is read and written
// so far: the other model types give 22 after one message that the type is not
// supported yet. User-interface thread (messages may be shown).
#pragma once

#include <cstdint>

#include "model/math/types.h"

class MODEL;
class VIEW;

// What loading, exporting and inserting a type without a reader or writer give.
inline constexpr int kTypeNotSupported = 22;

// File types the dispatcher tells apart.
enum class FileKind { unknown, drawing, block, dxf, dwg, studio3ds, asc, nff };

// The kind of a path by its extension.
FileKind file_kind_of(const char* path);
// The extension of a path including its '.', or "" when the file name has none.
const char* file_extension(const char* path);

// Loads the file into `model` by its type: the native drawing through
// drawing_file_import. `options` carries the import preferences of the model readers
// (unused by the native reader). 0 on success, else the engine's result code; 22 for
// a type without a reader (after its message), 13 for a null model or empty path.
// With `skipped`, the number of objects the reader had to leave out is stored there.
[[nodiscard]] int load_file_by_type(const char* path, MODEL* model, int options, int32_t* skipped = nullptr);

// The messages of a failed load ("Can't load data...|path (2: no such file or folder)")
// and of a failed save ("Can't save data...|path (28: no space left on device)"): the
// form of every message about a file, which names it and gives the number and reason.
void tell_load_failure(const char* path, int code);
void tell_save_failure(const char* path, int code);

// A path and the type to write it in, for export_file_by_type.
struct ExportFileRequest {
    char path[256] = {0};
    int type = 0;     // the chosen type's code (0: by the path's extension)
    int options = 0;  // options of the chosen type
};

// Writes the view's drawing in the type of the request's path: the native drawing
// through drawing_file_save (plain). 22 for other types (after its message); a
// failed save is told.
[[nodiscard]] int export_file_by_type(VIEW* view, const ExportFileRequest* request);

// Argument of the Load Block command.
struct LoadBlockArgs {
    VIEW* view = nullptr;
    const char* path = nullptr;  // null: 22 (the interactive command asks for one first)
    const Vec3* at = nullptr;    // where the block's base point goes; null: where it was saved
};

// Inserts a block file's objects into the view's current layer (the drawing's first
// layer when it has none) as one undo level, moved by `at` less the block's base
// point when `at` is given; its named styles are merged by name. A place that would
// carry the block beyond the drawing's range is refused with 13 after its message; a
// failed load keeps no part of the block. Either way the drawing is left as it was.
// 0 on success, else the reader's code after the "Can't load data..." message.
[[nodiscard]] int cmd_load_block(void* args);

// The undo depth the preferences ask for: 0 off, -1 unlimited, else the level count.
int undo_depth_from_prefs();
