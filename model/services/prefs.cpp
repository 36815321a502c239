// The preferences table and its load and save through the settings store.
#include "model/services/prefs.h"

#include "model/services/profile.h"

Preferences g_prefs;

namespace {

constexpr double kDegPerRad = 180.0 / 3.14159265358979323846;
constexpr double kAccuracy3dDefaultDegrees = 5.0;

#define PREF_I(section, key, member) {section, key, false, &Preferences::member, nullptr}
#define PREF_D(section, key, member) {section, key, true, nullptr, &Preferences::member}

const PrefsTableRow kRows[] = {
    PREF_I("Main", "Info", info),
    PREF_I("Main", "UndoLevel", undo_level),
    PREF_I("Main", "UndoMode", undo_mode),
    PREF_I("Main", "system", system),
    PREF_I("Main", "BlackBkg", black_bkg),
    PREF_I("Verbosity", "BitmapSet", bitmap_set),
    PREF_I("Verbosity", "Toolbar", toolbar),
    PREF_I("Verbosity", "Mark", mark),
    PREF_I("Verbosity", "UnMark", unmark),
    PREF_I("Verbosity", "Move", move),
    PREF_I("Verbosity", "Copy", copy),
    PREF_I("Verbosity", "Delete", erase),
    PREF_I("Verbosity", "Resize", resize),
    PREF_I("Verbosity", "Mirror", mirror),
    PREF_I("Verbosity", "Turn", turn),
    PREF_I("Verbosity", "Draw", draw),
    PREF_I("Verbosity", "Hatch", hatch),
    PREF_I("Verbosity", "3DDraw", draw_3d),
    PREF_I("Verbosity", "Dimension", dimension),
    PREF_I("Verbosity", "3DSimport", import_3ds_page),
    PREF_I("Verbosity", "PlineEdit", pline_edit),
    PREF_D("Verbosity", "ScaleRound", scale_round),
    PREF_I("Verbosity", "ScaleX", scale_x),
    PREF_I("Verbosity", "ChangeLinepat", change_linepat),
    PREF_I("Verbosity", "RotationMode", rotation_mode),
    PREF_I("Verbosity", "ChangeMaterial", change_material),
    PREF_I("Verbosity", "ScalePreView", scale_preview),
    PREF_I("Verbosity", "KeepCentre", keep_centre),
    PREF_I("Verbosity", "ZoomWindow", zoom_window),
    PREF_I("Verbosity", "DeleteParents", delete_parents),
    PREF_I("Verbosity", "LinkParents", link_parents),
    PREF_I("Verbosity", "PatPrevScale", pat_prev_scale),
    PREF_I("Verbosity", "PledTool", pled_tool),
    PREF_I("Verbosity", "PledKeepZ", pled_keep_z),
    PREF_I("Verbosity", "CoordSys", coord_sys),
    PREF_I("Verbosity", "3Dpreview", preview_3d),
    PREF_I("Verbosity", "Material", material),
    PREF_I("Import", "Load", import_load),
    PREF_I("Import", "Model", import_model),
    PREF_I("Import", "Texture", import_texture),
    PREF_I("Import", "3DS", import_3ds),
    PREF_I("Import", "3DSelements", import_3ds_elements),
    PREF_I("Export", "Texture", export_texture),
    PREF_I("Export", "Movie", export_movie),
    PREF_D("Hide", "Hsize", hide_hsize),
    PREF_D("Hide", "Vsize", hide_vsize),
    PREF_D("Hide", "Linear", hide_linear),
    PREF_D("Hide", "Angular", hide_angular),
    PREF_D("Verbosity", "3Daccuracy", accuracy_3d),
};

#undef PREF_I
#undef PREF_D

}  // namespace

const PrefsTableRow* prefs_table(int* count) {
    if (count) *count = static_cast<int>(sizeof kRows / sizeof kRows[0]);
    return kRows;
}

void prefs_table_io(int load) {
    static const Preferences defaults;
    SettingsBatch batch;
    for (const PrefsTableRow& row : kRows) {
        if (!row.is_double) {
            int& value = g_prefs.*row.int_member;
            value = pref_int(load, row.section, row.key, value, defaults.*row.int_member);
            continue;
        }
        double& value = g_prefs.*row.double_member;
        if (row.double_member == &Preferences::accuracy_3d) {
            // Degrees in the store, radians in memory.
            double stored = pref_double(load, row.section, row.key, value * kDegPerRad,
                                        kAccuracy3dDefaultDegrees);
            if (load) value = stored / kDegPerRad;
            continue;
        }
        value = pref_double(load, row.section, row.key, value, defaults.*row.double_member);
    }
}
