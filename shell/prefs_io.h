// Loading and saving the preferences, the texture-map search paths, the two
// pattern libraries, and the folders the file dialogs remember.
//
// Settings live in the store of model/services/profile.h; the preference values in
// model/services/prefs.h. User-interface thread only.
#pragma once

#include <string>

#include "model/db/strarray.h"

class MODEL;

// At start-up: marks the object system started, loads the preferences table and
// the texture-map paths (section "Paths", key "3dsMaps", folders separated by ';'),
// and fills the line-style and hatch-pattern libraries from the files named under
// "Patterns" ("LinePatternLibrary", "HatchPatternLibrary"), or from the built-in
// definitions when a key is empty, "Internal" or names a file that does not load
// (the user is told once, and the key is kept). Calling it again reloads everything.
void prefs_load();
// At exit: saves the preferences table and the texture-map paths (each non-empty
// path followed by ';'). The library keys are not written.
void prefs_save();

// The texture-map search paths: one folder per slot; slots never filled hold the
// empty text. Owned here.
StrArray prefs_map_paths();
// The folder used when no map path is set: "$XDG_DATA_HOME/zelo/maps"
// (~/.local/share when unset).
std::string prefs_default_map_path();

// The two libraries (null before prefs_load, or when one could not be made). Their
// name (first string) is the display name: the library file's name, or "Internal".
MODEL* prefs_line_library();
MODEL* prefs_hatch_library();
// Frees both libraries and the path array (at exit, and for tests).
void prefs_release();

// Sets the model's name to the file name of `path` (after the last '/', '\' or
// ':') up to its first '.'.
void path_file_part(MODEL* library, const char* path);

// The folder a file dialog remembers per kind (key "<kind>Directory" of section
// "Directories"). Saving stores the folder of `path` with a filter of the path's
// extension ("<folder>/*.<ext>", "*.<ext>" without a folder, "*" for the
// extension when the file name has none); the folder keeps its own separator ('/'
// or '\'). Loading gives the stored folder ("." when none) and the filter
// "*.<ext>" (the extension whole); `def` stands for a missing key. Null outputs are
// skipped.
void dir_memory_save(const char* kind, const char* path);
void dir_memory_load(const char* kind, std::string* directory, std::string* filter, const char* def);
