// The 3D construction settings and their section of the settings file.
#include "commands/model3d/draw3d_settings.h"

#include <cstring>
#include <iterator>

#include "model/services/profile.h"
#include "model/services/utf8.h"

Draw3DSettings g_draw3d;

namespace {

constexpr const char* kSection = "Draw_3D";

// One row per key in load order: an int, a double or a text member.
struct Row {
    const char* key;
    int Draw3DSettings::*int_member;
    double Draw3DSettings::*double_member;
    char (Draw3DSettings::*text_member)[kDraw3DTextSize];
};

const Draw3DSettings kDefaults;

constexpr Row kRows[] = {
    {"UsePattern", &Draw3DSettings::use_pattern, nullptr, nullptr},
    {"FacesM", &Draw3DSettings::faces_m, nullptr, nullptr},
    {"FacesN", &Draw3DSettings::faces_n, nullptr, nullptr},
    {"Smooth", &Draw3DSettings::smooth, nullptr, nullptr},
    {"Sphere", &Draw3DSettings::sphere, nullptr, nullptr},
    {"Cone", &Draw3DSettings::cone, nullptr, nullptr},
    {"Tops", &Draw3DSettings::tops, nullptr, nullptr},
    {"SpiraleDir", &Draw3DSettings::spiral_dir, nullptr, nullptr},
    {"BoxFaces", &Draw3DSettings::box_faces, nullptr, nullptr},
    {"FaceMode", &Draw3DSettings::face_mode, nullptr, nullptr},
    {"MergeEdges", &Draw3DSettings::merge_edges, nullptr, nullptr},
    {"FractalMode", &Draw3DSettings::fractal_mode, nullptr, nullptr},
    {"FractalLevels", &Draw3DSettings::fractal_levels, nullptr, nullptr},
    {"3DFontH", nullptr, &Draw3DSettings::font_height, nullptr},
    {"3DFontD", nullptr, &Draw3DSettings::font_depth, nullptr},
    {"3DFontC", nullptr, &Draw3DSettings::font_chamfer, nullptr},
    {"FractalDeriv", nullptr, &Draw3DSettings::fractal_deriv, nullptr},
    {"RevolveAngle", nullptr, &Draw3DSettings::revolve_angle, nullptr},
    {"RevolveStart", nullptr, &Draw3DSettings::revolve_start, nullptr},
    {"SpiraleRounds", nullptr, &Draw3DSettings::spiral_rounds, nullptr},
    {"3DFont", nullptr, nullptr, &Draw3DSettings::font},
    {"3DText", nullptr, nullptr, &Draw3DSettings::text},
};

void copy_text(char (&dst)[kDraw3DTextSize], const char* src) {
    utf8_copy(dst, kDraw3DTextSize, src, src ? std::strlen(src) : 0);
}

}  // namespace

void draw3d_prefs_io(int load) {
    SettingsBatch batch;
    Draw3DSettings& s = g_draw3d;
    for (const Row& r : kRows) {
        if (r.int_member) {
            s.*r.int_member =
                pref_int(load, kSection, r.key, s.*r.int_member, kDefaults.*r.int_member);
        } else if (r.double_member) {
            s.*r.double_member =
                pref_double(load, kSection, r.key, s.*r.double_member, kDefaults.*r.double_member);
        } else {
            pref_string(load, kSection, r.key, s.*r.text_member, kDraw3DTextSize,
                        kDefaults.*r.text_member);
        }
    }
}

void draw3d_prefs_load() {
    draw3d_prefs_io(1);
}
void draw3d_prefs_save() {
    draw3d_prefs_io(0);
}

const char* draw3d_font() {
    return g_draw3d.font;
}
void draw3d_set_font(const char* name) {
    copy_text(g_draw3d.font, name);
}
const char* draw3d_text() {
    return g_draw3d.text;
}
void draw3d_set_text(const char* text) {
    copy_text(g_draw3d.text, text);
}

int draw3d_key_count() {
    return static_cast<int>(std::size(kRows));
}
const char* draw3d_key(int index) {
    return index >= 0 && index < draw3d_key_count() ? kRows[index].key : nullptr;
}
