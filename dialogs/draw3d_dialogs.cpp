// The 3D parameter dialogs (declared in draw3d_dialogs.h).
#include "dialogs/draw3d_dialogs.h"

#include <QComboBox>
#include <cmath>

#include "commands/edit/edit.h"
#include "commands/model3d/draw3d_settings.h"
#include "commands/model3d/model3d.h"
#include "model/db/solid.h"
#include "model/services/strtab.h"
#include "platform/dialog.h"
#include "resources/string_ids.h"
#include "shell/ddx.h"

CParam3dDlg::CParam3dDlg(int template_id, QWidget* parent, std::vector<Field> fields)
    : CDlg(template_id, parent), fields_(std::move(fields)), query_(g_draw3d_query ? 0 : 1) {
    for (const Field& f : fields_) {
        if (f.kind == Field::kReal) {
            // A value from the settings file may be anything: shown held to the range.
            const double r = *f.real * f.scale;
            values_.push_back(0);
            counts_.push_back(!(r >= f.lo) ? f.lo : r > f.hi ? f.hi : r);
            continue;
        }
        const int v = *f.setting;
        values_.push_back(f.kind == Field::kBit ? ((v & f.bit) ? 1 : 0) : f.kind == Field::kFlag ? (v != 0) : v);
        // A count from the settings file may be anything: shown held to the range.
        const int top = f.hi > 0 ? static_cast<int>(f.hi) : kMaxSegments3D;
        counts_.push_back(v < 1 ? 1 : v > top ? top : v);
    }
}

void CParam3dDlg::CreateControls() {
    int row = 0;
    for (const Field& f : fields_) {
        const std::string text = res_load_string(static_cast<uint32_t>(f.id));
        if (f.kind == Field::kBit || f.kind == Field::kFlag) {
            add_check(f.id, text, row++, 0, 2);
            continue;
        }
        add_static(f.id, text, row, 0);
        if (f.kind == Field::kCount || f.kind == Field::kReal) {
            add_edit(f.id + kEditOffset3D, row++, 1);
        } else {
            QComboBox* box = add_combo(f.id + kEditOffset3D, row++, 1);
            for (uint32_t c : f.choices) box->addItem(QString::fromStdString(res_load_string(c)));
        }
    }
    add_check(kIdcQuery3D, res_load_string(kIdcQuery3D), row++, 0, 2);
    add_ok_cancel(row, 2);
}

void CParam3dDlg::DoDataExchange(CDataExchange* dx) {
    set_number_format_from(nullptr, 6, 64);  // whole counts up to the limit show as they are
    for (size_t i = 0; i < fields_.size(); ++i) {
        const Field& f = fields_[i];
        switch (f.kind) {
            case Field::kBit:
            case Field::kFlag:
                DDX_Check(dx, f.id, values_[i]);
                break;
            case Field::kCount:
                DDX_Double(dx, f.id + kEditOffset3D, counts_[i]);
                DDV_MinMaxDouble(dx, counts_[i], 1, f.hi > 0 ? f.hi : kMaxSegments3D);
                break;
            case Field::kReal:
                DDX_Double(dx, f.id + kEditOffset3D, counts_[i]);
                DDV_MinMaxDouble(dx, counts_[i], f.lo, f.hi);
                break;
            case Field::kChoice: {
                auto* box = qobject_cast<QComboBox*>(GetDlgItem(f.id + kEditOffset3D));
                const int n = static_cast<int>(f.choices.size());
                if (!box) break;
                if (!dx->saving()) box->setCurrentIndex(values_[i] >= 0 && values_[i] < n ? values_[i] : f.other);
                else values_[i] = box->currentIndex() < 0 ? 0 : box->currentIndex();
                break;
            }
        }
    }
    DDX_Check(dx, kIdcQuery3D, query_);
    if (!dx->saving()) return;
    for (size_t i = 0; i < fields_.size(); ++i) {
        const Field& f = fields_[i];
        if (f.kind == Field::kBit) {
            *f.setting = values_[i] ? (*f.setting | f.bit) : (*f.setting & ~f.bit);
        } else if (f.kind == Field::kFlag) {
            *f.setting = values_[i] ? 1 : 0;
        } else if (f.kind == Field::kCount) {
            *f.setting = static_cast<int>(std::lround(counts_[i]));
        } else if (f.kind == Field::kReal) {
            *f.real = counts_[i] / f.scale;
        } else {
            *f.setting = values_[i];
        }
    }
    g_draw3d_query = query_ ? 0 : 1;
}

namespace {

using Field = CParam3dDlg::Field;

bool run(int template_id, uint32_t help_id, std::vector<Field> fields) {
    CParam3dDlg dlg(template_id, nullptr, std::move(fields));
    return dlg.DoModalHelp(help_id) == IDOK;
}

Field count(int id, int* s) { return {Field::kCount, id, s, 0, {}}; }
Field bit(int id, int* s, int b) { return {Field::kBit, id, s, b, {}}; }
Field flag(int id, int* s) { return {Field::kFlag, id, s, 0, {}}; }
Field real(int id, double* r, double lo, double hi, double scale = 1) {
    return {Field::kReal, id, nullptr, 0, {}, r, lo, hi, scale};
}
constexpr double kDegreesPerRadian = 57.29577951308232;

// The kind lists; a stored kind outside them shows as the kind the command builds
// for it: a dish (any "Sphere" but 0 and 1), a pointed cone (no top radius asked).
Field kind_choice(int* setting, std::vector<uint32_t> names, int other) {
    Field f{Field::kChoice, kIdcSolidKind, setting, 0, std::move(names)};
    f.other = other;
    return f;
}

}  // namespace

bool box3d_dialog(VIEW*) {
    // Check boxes in the order back (16), front (32), left (4), right (8), bottom (2), top (1).
    static constexpr int kBits[6] = {16, 32, 4, 8, 2, 1};
    std::vector<Field> f;
    for (int i = 0; i < 6; ++i) f.push_back(bit(kIdcBoxFaceFirst + i, &g_draw3d.box_faces, kBits[i]));
    return run(kDlgBox3D, 40051, std::move(f));
}

bool sphere_dialog(VIEW*) {
    return run(kDlgSphere, 40054,
               {kind_choice(&g_draw3d.sphere, {IDS_SPHERE_WHOLE, IDS_SPHERE_DOME, IDS_SPHERE_DISH}, 2),
                count(kIdcFacesM, &g_draw3d.faces_m), count(kIdcFacesN, &g_draw3d.faces_n),
                bit(kIdcTopsBase, &g_draw3d.tops, 1), bit(kIdcTopsTop, &g_draw3d.tops, 2)});
}

bool cone_dialog(VIEW*) {
    return run(kDlgCone, 40055,
               {kind_choice(&g_draw3d.cone, {IDS_CONE_TRUNCATED, IDS_CONE_POINTED, IDS_CONE_CYLINDER}, 1),
                count(kIdcFacesN, &g_draw3d.faces_n), bit(kIdcTopsBase, &g_draw3d.tops, 1),
                bit(kIdcTopsTop, &g_draw3d.tops, 2)});
}

bool segments_dialog_torus(VIEW*) {
    return run(kDlgTorus, 40056, {count(kIdcFacesM, &g_draw3d.faces_m), count(kIdcFacesN, &g_draw3d.faces_n)});
}

bool segments_dialog_mesh(VIEW*) {
    return run(kDlgMesh, 40053, {count(kIdcFacesM, &g_draw3d.faces_m), count(kIdcFacesN, &g_draw3d.faces_n)});
}

bool faces3d_dialog(VIEW*) {
    return run(
        kDlgFaces3D, 40061,
        {{Field::kChoice, kIdcFaceMode, &g_draw3d.face_mode, 0, {IDS_FACE_MODE_0, IDS_FACE_MODE_1, IDS_FACE_MODE_2}},
         flag(kIdcMergeEdges, &g_draw3d.merge_edges)});
}

bool spiral_dialog(VIEW*) {
    // The spiral turns the negative way for any non-zero "SpiraleDir": the box shows
    // exactly that and stores 1 or 0.
    return run(kDlgSpiral, 40060,
               {count(kIdcFacesM, &g_draw3d.faces_m), count(kIdcFacesN, &g_draw3d.faces_n),
                real(kIdcSpiralRounds, &g_draw3d.spiral_rounds, kMinSpiralTurns, kMaxSpiralTurns),
                flag(kIdcSpiralDir, &g_draw3d.spiral_dir)});
}

bool pyramid_dialog(VIEW*) { return run(kDlgPyramid, 40052, {flag(kIdcMergeEdges, &g_draw3d.merge_edges)}); }

bool revolution_dialog(VIEW*) {
    // Angles are kept in radians and shown in degrees.
    return run(kDlgRevolution, 40057,
               {flag(kIdcUsePattern, &g_draw3d.use_pattern), count(kIdcFacesM, &g_draw3d.faces_m),
                count(kIdcFacesN, &g_draw3d.faces_n),
                real(kIdcRevolveAngle, &g_draw3d.revolve_angle, 0.01, 360, kDegreesPerRadian),
                real(kIdcRevolveStart, &g_draw3d.revolve_start, -360, 360, kDegreesPerRadian)});
}

bool segments_dialog_extrude(VIEW*) {
    return run(kDlgExtrude, 40058, {flag(kIdcUsePattern, &g_draw3d.use_pattern), count(kIdcFacesM, &g_draw3d.faces_m)});
}

bool segments_dialog_ruled(VIEW*) {
    return run(kDlgRuled, 40059,
               {count(kIdcFacesM, &g_draw3d.faces_m), count(kIdcFacesN, &g_draw3d.faces_n),
                flag(kIdcSmooth, &g_draw3d.smooth)});
}

bool segments_dialog_tracked(VIEW*) {
    return run(kDlgTracked, 40062,
               {flag(kIdcUsePattern, &g_draw3d.use_pattern), count(kIdcFacesM, &g_draw3d.faces_m),
                count(kIdcFacesN, &g_draw3d.faces_n)});
}

bool segments_dialog_profiled(VIEW*) {
    return run(kDlgProfiled, 40064,
               {flag(kIdcUsePattern, &g_draw3d.use_pattern), count(kIdcFacesM, &g_draw3d.faces_m),
                count(kIdcFacesN, &g_draw3d.faces_n)});
}

bool fractal_dialog(VIEW*) {
    Field levels = count(kIdcFractalLevels, &g_draw3d.fractal_levels);
    levels.hi = kMaxFractalLevels;
    return run(kDlgFractal, 40063,
               {flag(kIdcFractalMode, &g_draw3d.fractal_mode), levels,
                real(kIdcFractalDeriv, &g_draw3d.fractal_deriv, -1, 1)});
}

void draw3d_dialogs_install() {
    g_draw3d_dialogs.box = [](VIEW* v) { return box3d_dialog(v) ? 1 : 0; };
    g_draw3d_dialogs.sphere = [](VIEW* v) { return sphere_dialog(v) ? 1 : 0; };
    g_draw3d_dialogs.cone = [](VIEW* v) { return cone_dialog(v) ? 1 : 0; };
    g_draw3d_dialogs.torus = [](VIEW* v) { return segments_dialog_torus(v) ? 1 : 0; };
    g_draw3d_dialogs.mesh = [](VIEW* v) { return segments_dialog_mesh(v) ? 1 : 0; };
    g_draw3d_dialogs.faces3d = [](VIEW* v) { return faces3d_dialog(v) ? 1 : 0; };
    g_draw3d_dialogs.spiral = [](VIEW* v) { return spiral_dialog(v) ? 1 : 0; };
    g_draw3d_dialogs.pyramid = [](VIEW* v) { return pyramid_dialog(v) ? 1 : 0; };
    g_draw3d_dialogs.revolution = [](VIEW* v) { return revolution_dialog(v) ? 1 : 0; };
    g_draw3d_dialogs.extrude = [](VIEW* v) { return segments_dialog_extrude(v) ? 1 : 0; };
    g_draw3d_dialogs.ruled = [](VIEW* v) { return segments_dialog_ruled(v) ? 1 : 0; };
    g_draw3d_dialogs.tracked = [](VIEW* v) { return segments_dialog_tracked(v) ? 1 : 0; };
    g_draw3d_dialogs.profiled = [](VIEW* v) { return segments_dialog_profiled(v) ? 1 : 0; };
    g_draw3d_dialogs.fractal = [](VIEW* v) { return fractal_dialog(v) ? 1 : 0; };
    // A new camera or light opens the same settings dialog as Adjust Camera/Light.
    g_draw3d_dialogs.camera_settings = [](VIEW* v, CAMERA* camera) {
        const auto& dlg = edit_dialogs().camera_settings;
        return dlg && dlg(v, camera) ? 1 : 0;
    };
    g_draw3d_dialogs.light_settings = [](VIEW* v, LIGHT* light) {
        const auto& dlg = edit_dialogs().light_settings;
        return dlg && dlg(v, light) ? 1 : 0;
    };
}
