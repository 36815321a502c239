// The preferences: process-wide settings read at start-up and written at exit.
//
// Each value is read by the module it concerns (the comment names it); this file
// only holds them and moves them to and from the settings store (profile.h) as one
// table, in a fixed key order. Written and read on the user-interface thread.
#pragma once

struct Preferences {
    // "Main"
    int info = 16377;     // drawing report contents (bit mask)
    int undo_level = 32;  // undo depth in levels
    int undo_mode = -1;   // undo: off, unlimited or by level count
    int system = 1;       // stored only
    int black_bkg = 1;    // view background: colour 7 when set, else colour 0

    // "Verbosity": options dialogs and commands
    int bitmap_set = 0;       // toolbar bitmaps: 0 large, 1 small
    int toolbar = 1;          // the Edit toolbar shown
    int mark = 0;             // selection commands
    int unmark = 0;           // selection commands
    int move = 0;             // Move command
    int copy = 0;             // Copy command
    int erase = 0;            // Delete command (key "Delete")
    int resize = 0;           // Stretch options dialog
    int mirror = 0;           // Mirror options dialog
    int turn = 0;             // Rotate options dialog
    int draw = 0;             // stored only
    int hatch = 0;            // stored only
    int draw_3d = 0;          // 3D construction dialogs (key "3DDraw")
    int dimension = 0;        // dimension commands
    int import_3ds_page = 0;  // import settings page (key "3DSimport")
    int pline_edit = 0;       // stored only
    double scale_round = 0.01;   // zoom: scale rounding step
    int scale_x = 1;             // zoom dialog
    int change_linepat = 31;     // line-style change: "Change What?" choices (bit mask)
    int rotation_mode = 14;      // Rotate options dialog and rotation
    int change_material = 65535; // colour and material change: "Change What?" choices (bit mask)
    int scale_preview = 1;       // zoom dialog
    int keep_centre = 1;         // zoom dialog
    int zoom_window = 0;         // zoom-window method
    int delete_parents = 0;      // transformation options dialogs
    int link_parents = 0;        // transformation options dialogs
    int pat_prev_scale = 1;      // line and hatch style dialog preview
    int pled_tool = 0;           // stored only
    int pled_keep_z = 1;         // polyline editor: keep current Z
    int coord_sys = 1;           // typed-coordinate dialog: 1 User axes, 0 World
    int preview_3d = 1;          // 3D view point dialog preview (key "3Dpreview")
    int material = 1;            // material assignment

    // "Import"
    int import_load = 13;      // Open dialog file type (13 native drawing)
    int import_model = 9;      // Open dialog file type for models (9 DXF)
    int import_texture = 4;    // texture file dialog image type (4 BMP)
    int import_3ds = 1;        // options handed to the loader when a drawing opens (key "3DS")
    int import_3ds_elements = 1;  // adds 0x4000 to those options (key "3DSelements")

    // "Export"
    int export_texture = 4;  // texture file dialog image type
    int export_movie = 21;   // render settings and animation export: output type

    // "Hide": hidden-line removal
    double hide_hsize = 100.0;
    double hide_vsize = 100.0;
    double hide_linear = 0.1;
    double hide_angular = 0.0;

    // "Verbosity" "3Daccuracy": 3D view point dialog; held in radians, stored in degrees.
    double accuracy_3d = 5.0 * 3.14159265358979323846 / 180.0;
};

// The preferences in use.
extern Preferences g_prefs;

// Loads (flag non-zero: each key's stored value or its default) or saves (flag 0:
// the current values) the whole table, in table order. A save writes the file once.
void prefs_table_io(int load);

// One row of the table, for listings and checks.
struct PrefsTableRow {
    const char* section;
    const char* key;
    bool is_double;
    int Preferences::*int_member;
    double Preferences::*double_member;
};
// The rows in table order; `count` receives their number.
const PrefsTableRow* prefs_table(int* count);
