// The settings of the 3D construction commands: segment counts, solid kinds, cap
// and face masks, 3D text sizes and font, fractal and revolution values. One
// process-wide set for every drawing and view, kept in the settings section
// "Draw_3D", read at start-up and written back at start-up and at exit. The
// parameter dialogs edit g_draw3d in place; the commands read it when they build.
// User-interface thread only.
#pragma once

#include <cstddef>

// Size of the two text buffers, terminator included.
inline constexpr size_t kDraw3DTextSize = 256;

// Draw3DSettings::face_mode: the edge of the last face that the next 3D face starts from.
inline constexpr int kFaceFromThirdFourth = 0;  // its third and fourth corners
inline constexpr int kFaceFromFourthFirst = 1;  // its fourth and first corners
inline constexpr int kFaceFromSecondThird = 2;  // its second and third corners

struct Draw3DSettings {
    int use_pattern = 1;     // "UsePattern": swept curves keep their own vertices (0: resampled)
    int faces_m = 16;        // "FacesM": first segment count
    int faces_n = 16;        // "FacesN": second segment count
    int smooth = 1;          // "Smooth": loft flag of the ruled surface
    int sphere = 0;          // "Sphere": 0 sphere, 1 dome, 2 dish
    int cone = 0;            // "Cone": 0 truncated cone, 1 cone, 2 cylinder
    int tops = 3;            // "Tops": caps, bit 0 base (dome side), bit 1 top (dish side)
    int spiral_dir = 1;      // "SpiraleDir": 1 negative angle steps, 0 positive
    int box_faces = 63;      // "BoxFaces": bit mask of the six box faces built
    int face_mode = 0;       // "FaceMode": edge the next 3D face continues from (kFaceFrom*)
    int merge_edges = 0;     // "MergeEdges": handed to face creation
    int fractal_mode = 0;    // "FractalMode": 0 from three points, else on chosen meshes
    int fractal_levels = 4;  // "FractalLevels": subdivision levels
    double font_height = 100.0;                 // "3DFontH": 3D text height, drawing units
    double font_depth = 30.0;                   // "3DFontD": 3D text extrusion depth, drawing units
    double font_chamfer = 0.5;                  // "3DFontC": 3D text chamfer size, drawing units
    double fractal_deriv = 0.25;                // "FractalDeriv": fractal roughness
    double revolve_angle = 6.283185307179586;   // "RevolveAngle": total angle, radians
    double revolve_start = 0.0;                 // "RevolveStart": start angle, radians
    double spiral_rounds = 2.0;                 // "SpiraleRounds": number of turns
    char font[kDraw3DTextSize] = "<INTERNAL>";  // "3DFont": TrueType face name of 3D text
    char text[kDraw3DTextSize] = "Zelo";        // "3DText": text last used by 3D Text
};

// The settings in use.
extern Draw3DSettings g_draw3d;

// Loads (flag non-zero: each key's stored value or its default) or saves (flag 0:
// the current values) all 22 settings, in a fixed key order, through pref_int,
// pref_double and pref_string of section "Draw_3D". A save writes the file once.
void draw3d_prefs_io(int load);
// Start-up, after the preferences and before the dimension settings.
void draw3d_prefs_load();
// Start-up, right after the dimension settings are loaded and saved, and exit.
void draw3d_prefs_save();

// The two texts, cut to kDraw3DTextSize - 1 bytes on a character boundary (a null
// text gives "").
const char* draw3d_font();
void draw3d_set_font(const char* name);
const char* draw3d_text();
void draw3d_set_text(const char* text);

// Number of settings in the section, and the key of each in load order (null past
// the end): for listings and checks.
int draw3d_key_count();
const char* draw3d_key(int index);
