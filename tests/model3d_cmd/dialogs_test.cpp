// The 3D parameter dialogs through the modal hook: values shown from the settings,
// written back on OK only, counts range-checked, face and cap bits, the kind choice,
// and "&Query" storing the inverse of the query flag. With ZELO_SHOT_DIR set each
// dialog is also saved as a picture.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <functional>
#include <limits>

#include "commands/model3d/draw3d_settings.h"
#include "commands/model3d/model3d.h"
#include "commands/model3d/primitives.h"
#include "graphics/view/projection.h"
#include "model/mesh/mesh.h"
#include "model/rtc/rtc.h"
#include "dialogs/draw3d_dialogs.h"
#include "model/services/msgbox.h"
#include "platform/dialog.h"
#include "../platform/qt_test_env.h"
#include "tests/platform/modal_script.h"

namespace {

void shot(CDialog& d, const char* name) {
    if (const char* dir = std::getenv("ZELO_SHOT_DIR")) d.grab().save(QDir(dir).filePath(name));
}

QCheckBox* check(CDialog& d, int id) { return qobject_cast<QCheckBox*>(d.GetDlgItem(id)); }

TEST(Draw3dDialogs, TopSegmentCountsStillBuild) {
    // The highest counts the dialogs accept must not make the commands' grids too big
    // to build (which would end them without a mesh): a mesh grid and a sphere at
    // kMaxSegments3D for both counts.
    rtc_register_all();
    const Vec3 c[4] = {{0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {0, 10, 0}};
    auto grid = rtc_make<MESH3>();
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(mesh_add_grid_patch(grid.get(), &c[0], &c[1], &c[2], &c[3], kMaxSegments3D, kMaxSegments3D), 0);
    Draw3DSettings s;
    s.faces_m = s.faces_n = kMaxSegments3D;
    RevolveProfiles p;
    ASSERT_EQ(sphere_profiles(ViewProjection{}, {0, 0, 0}, 0, 5, s, &p), 0);
    std::unique_ptr<MESH3> sphere;
    EXPECT_EQ(revolve_profiles_mesh(p, solid_segments(s.faces_n), &sphere), 0);
    EXPECT_NE(sphere, nullptr);
}

TEST(Draw3dDialogs, BoxFacesAndQuery) {
    g_draw3d = Draw3DSettings{};
    g_draw3d.box_faces = 63 & ~8;  // right face off
    g_draw3d_query = 0;
    {
        ModalScript s([](CDialog& d) {
            EXPECT_EQ(d.windowTitle().toStdString(), "3D Box");
            for (int i = 0; i < 6; ++i) ASSERT_NE(check(d, kIdcBoxFaceFirst + i), nullptr);
            EXPECT_FALSE(check(d, kIdcBoxFaceFirst + 3)->isChecked());
            EXPECT_TRUE(check(d, kIdcBoxFaceFirst + 5)->isChecked());
            EXPECT_TRUE(check(d, kIdcQuery3D)->isChecked());  // flag 0: the dialog is asked
            shot(d, "draw3d_box.png");
            check(d, kIdcBoxFaceFirst + 5)->setChecked(false);  // top off
            check(d, kIdcQuery3D)->setChecked(false);
            d.press(IDOK);
        });
        EXPECT_TRUE(box3d_dialog(nullptr));
    }
    EXPECT_EQ(g_draw3d.box_faces, 63 & ~8 & ~1);
    EXPECT_EQ(g_draw3d_query, 1);
    {
        ModalScript s([](CDialog& d) {
            check(d, kIdcBoxFaceFirst)->setChecked(false);
            d.press(IDCANCEL);
        });
        EXPECT_FALSE(box3d_dialog(nullptr));
    }
    EXPECT_EQ(g_draw3d.box_faces, 63 & ~8 & ~1);  // cancel stores nothing
    g_draw3d_query = 0;
}

TEST(Draw3dDialogs, KindOutsideTheListShowsWhatIsBuilt) {
    // A damaged kind from the settings file shows as the kind the command builds for
    // it (a dish, a pointed cone) and OK stores that entry.
    struct Case {
        bool (*dialog)(VIEW*);
        int* setting;
        int stored, shown;
    } cases[] = {{sphere_dialog, &g_draw3d.sphere, 5, 2}, {sphere_dialog, &g_draw3d.sphere, -1, 2},
                 {cone_dialog, &g_draw3d.cone, 9, 1}};
    for (const Case& c : cases) {
        g_draw3d = Draw3DSettings{};
        *c.setting = c.stored;
        static int shown;
        shown = -1;
        ModalScript s([](CDialog& d) {
            shown = qobject_cast<QComboBox*>(d.GetDlgItem(kIdcSolidKind + kEditOffset3D))->currentIndex();
            d.press(IDOK);
        });
        EXPECT_TRUE(c.dialog(nullptr));
        EXPECT_EQ(shown, c.shown) << c.stored;
        EXPECT_EQ(*c.setting, c.shown);
    }
    g_draw3d = Draw3DSettings{};
}

TEST(Draw3dDialogs, SphereConeTorusValuesAndRanges) {
    g_draw3d = Draw3DSettings{};
    g_draw3d.faces_m = -40;  // from a damaged settings file: shown held to the range
    std::vector<std::string> boxes;
    const MsgBoxHook old_box = msgbox_set_hook([&](const MsgBoxRequest& r) {
        boxes.push_back(r.text);
        return kIdOk;
    });
    {
        ModalScript s([](CDialog& d) {
            EXPECT_EQ(d.windowTitle().toStdString(), "Sphere");
            EXPECT_EQ(d.GetDlgItemText(kIdcFacesM + kEditOffset3D), "1");
            auto* kind = qobject_cast<QComboBox*>(d.GetDlgItem(kIdcSolidKind + kEditOffset3D));
            ASSERT_NE(kind, nullptr);
            EXPECT_EQ(kind->count(), 3);
            shot(d, "draw3d_sphere.png");
            kind->setCurrentIndex(2);
            d.SetDlgItemText(kIdcFacesM + kEditOffset3D, "5000");  // refused, dialog stays
            d.press(IDOK);
            d.SetDlgItemText(kIdcFacesM + kEditOffset3D, "24");
            check(d, kIdcTopsBase)->setChecked(false);
            d.press(IDOK);
        });
        EXPECT_TRUE(sphere_dialog(nullptr));
    }
    EXPECT_EQ(boxes.size(), 1u);
    EXPECT_EQ(g_draw3d.faces_m, 24);
    EXPECT_EQ(g_draw3d.sphere, 2);
    EXPECT_EQ(g_draw3d.tops, 2);
    {
        ModalScript s([](CDialog& d) {
            EXPECT_EQ(d.windowTitle().toStdString(), "Cone");
            EXPECT_EQ(d.GetDlgItemText(kIdcFacesN + kEditOffset3D), "16");
            shot(d, "draw3d_cone.png");
            qobject_cast<QComboBox*>(d.GetDlgItem(kIdcSolidKind + kEditOffset3D))->setCurrentIndex(2);
            d.SetDlgItemText(kIdcFacesN + kEditOffset3D, "8");
            d.press(IDOK);
        });
        EXPECT_TRUE(cone_dialog(nullptr));
    }
    EXPECT_EQ(g_draw3d.cone, 2);
    EXPECT_EQ(g_draw3d.faces_n, 8);
    {
        ModalScript s([](CDialog& d) {
            EXPECT_EQ(d.windowTitle().toStdString(), "Torus");
            shot(d, "draw3d_torus.png");
            d.SetDlgItemText(kIdcFacesN + kEditOffset3D, "0");  // below 1: refused
            d.press(IDOK);
            d.press(IDCANCEL);
        });
        EXPECT_FALSE(segments_dialog_torus(nullptr));
    }
    EXPECT_EQ(g_draw3d.faces_n, 8);
    EXPECT_EQ(boxes.size(), 2u);
    msgbox_set_hook(old_box);
    g_draw3d = Draw3DSettings{};
}

TEST(Draw3dDialogs, MeshAndFaces) {
    g_draw3d = Draw3DSettings{};
    {
        ModalScript s([](CDialog& d) {
            EXPECT_EQ(d.windowTitle().toStdString(), "Mesh");
            shot(d, "draw3d_mesh.png");
            d.SetDlgItemText(kIdcFacesM + kEditOffset3D, "4");
            d.press(IDOK);
        });
        EXPECT_TRUE(segments_dialog_mesh(nullptr));
    }
    EXPECT_EQ(g_draw3d.faces_m, 4);
    g_draw3d.face_mode = 7;  // out of range from a file: shown as the first entry
    {
        ModalScript s([](CDialog& d) {
            EXPECT_EQ(d.windowTitle().toStdString(), "3D Faces");
            auto* mode = qobject_cast<QComboBox*>(d.GetDlgItem(kIdcFaceMode + kEditOffset3D));
            ASSERT_NE(mode, nullptr);
            EXPECT_EQ(mode->currentIndex(), 0);
            shot(d, "draw3d_faces.png");
            mode->setCurrentIndex(2);
            check(d, kIdcMergeEdges)->setChecked(true);
            d.press(IDOK);
        });
        EXPECT_TRUE(faces3d_dialog(nullptr));
    }
    EXPECT_EQ(g_draw3d.face_mode, 2);
    EXPECT_EQ(g_draw3d.merge_edges, 1);
    g_draw3d = Draw3DSettings{};
}

TEST(Draw3dDialogs, SpiralTurnsAndSense) {
    g_draw3d = Draw3DSettings{};
    g_draw3d.spiral_rounds = std::numeric_limits<double>::quiet_NaN();  // damaged file: shown in range
    std::vector<std::string> boxes;
    const MsgBoxHook old_box = msgbox_set_hook([&](const MsgBoxRequest& r) {
        boxes.push_back(r.text);
        return kIdOk;
    });
    {
        ModalScript s([](CDialog& d) {
            EXPECT_EQ(d.windowTitle().toStdString(), "Spiral");
            EXPECT_EQ(d.GetDlgItemText(kIdcSpiralRounds + kEditOffset3D), "0.01");
            EXPECT_TRUE(check(d, kIdcSpiralDir)->isChecked());
            d.SetDlgItemText(kIdcSpiralRounds + kEditOffset3D, "2.5");
            shot(d, "draw3d_spiral.png");
            d.SetDlgItemText(kIdcSpiralRounds + kEditOffset3D, "5000");  // refused, dialog stays
            d.press(IDOK);
            d.SetDlgItemText(kIdcSpiralRounds + kEditOffset3D, "2.5");
            check(d, kIdcSpiralDir)->setChecked(false);
            d.press(IDOK);
        });
        EXPECT_TRUE(spiral_dialog(nullptr));
    }
    EXPECT_EQ(boxes.size(), 1u);
    EXPECT_EQ(g_draw3d.spiral_rounds, 2.5);
    EXPECT_EQ(g_draw3d.spiral_dir, 0);
    {
        ModalScript s([](CDialog& d) {
            d.SetDlgItemText(kIdcSpiralRounds + kEditOffset3D, "7");
            d.press(IDCANCEL);
        });
        EXPECT_FALSE(spiral_dialog(nullptr));
    }
    EXPECT_EQ(g_draw3d.spiral_rounds, 2.5);
    msgbox_set_hook(old_box);
    // Damaged flags from a file (2: non-zero, so the spiral turns negatively and faces
    // are split) show checked, and clearing the box really clears them.
    g_draw3d.spiral_dir = 2;
    g_draw3d.merge_edges = 2;
    for (bool (*dialog)(VIEW*) : {spiral_dialog, faces3d_dialog}) {
        static bool shown_checked;
        shown_checked = false;
        ModalScript s([](CDialog& d) {
            const int id = d.GetDlgItem(kIdcSpiralDir) ? kIdcSpiralDir : kIdcMergeEdges;
            shown_checked = check(d, id)->isChecked();
            check(d, id)->setChecked(false);
            d.press(IDOK);
        });
        EXPECT_TRUE(dialog(nullptr));
        EXPECT_TRUE(shown_checked);
    }
    EXPECT_EQ(g_draw3d.spiral_dir, 0);
    EXPECT_EQ(g_draw3d.merge_edges, 0);
    g_draw3d = Draw3DSettings{};
}

// The swept-surface, pyramid and fractal dialogs: title, the values shown from the
// settings (angles in degrees, flags from any non-zero value), what a typed answer
// stores on OK (angles back in radians, flags as 1 or 0), and a value out of range
// refused with the dialog kept open.
TEST(Draw3dDialogs, SweptPyramidFractal) {
    struct Edit {
        int id;  // a check box, or an edit (label id + kEditOffset3D)
        const char* text;  // null: toggle the check box
    };
    struct Case {
        const char* title;
        bool (*dialog)(VIEW*);
        const char* shot;
        std::vector<std::pair<int, std::string>> shown;  // edit id and text
        std::vector<Edit> edits;
        const char* refused_edit = nullptr;  // put into the first edit first: refused
        std::function<void()> check;
    };
    const int E = kEditOffset3D;
    const Case cases[] = {
        {"Pyramid", pyramid_dialog, "draw3d_pyramid.png", {}, {{kIdcMergeEdges, nullptr}}, nullptr,
         [] { EXPECT_EQ(g_draw3d.merge_edges, 1); }},
        {"Surface of Revolution", revolution_dialog, "draw3d_revolution.png",
         {{kIdcRevolveAngle + E, "360"}, {kIdcRevolveStart + E, "0"}, {kIdcFacesM + E, "16"}},
         {{kIdcRevolveAngle + E, "90"}, {kIdcRevolveStart + E, "-45"}, {kIdcUsePattern, nullptr}}, "400",
         [] {
             EXPECT_NEAR(g_draw3d.revolve_angle, 3.14159265358979 / 2, 1e-12);
             EXPECT_NEAR(g_draw3d.revolve_start, -3.14159265358979 / 4, 1e-12);
             EXPECT_EQ(g_draw3d.use_pattern, 0);
         }},
        {"Extrude", segments_dialog_extrude, "draw3d_extrude.png", {{kIdcFacesM + E, "16"}},
         {{kIdcFacesM + E, "5"}, {kIdcUsePattern, nullptr}}, "0",
         [] {
             EXPECT_EQ(g_draw3d.faces_m, 5);
             EXPECT_EQ(g_draw3d.use_pattern, 0);
         }},
        {"Ruled Surface", segments_dialog_ruled, "draw3d_ruled.png", {{kIdcFacesN + E, "16"}},
         {{kIdcFacesN + E, "6"}, {kIdcSmooth, nullptr}}, "0",
         [] {
             EXPECT_EQ(g_draw3d.faces_n, 6);
             EXPECT_EQ(g_draw3d.smooth, 0);
         }},
        {"Tracked Surface", segments_dialog_tracked, "draw3d_tracked.png", {{kIdcFacesN + E, "16"}},
         {{kIdcFacesN + E, "9"}}, "2000", [] { EXPECT_EQ(g_draw3d.faces_n, 9); }},
        {"Profiled Surface", segments_dialog_profiled, "draw3d_profiled.png", {{kIdcFacesM + E, "16"}},
         {{kIdcFacesM + E, "7"}}, nullptr, [] { EXPECT_EQ(g_draw3d.faces_m, 7); }},
        {"Fractal", fractal_dialog, "draw3d_fractal.png", {{kIdcFractalLevels + E, "4"}, {kIdcFractalDeriv + E, "0.25"}},
         {{kIdcFractalLevels + E, "6"}, {kIdcFractalDeriv + E, "-0.5"}, {kIdcFractalMode, nullptr}}, "11",
         [] {
             EXPECT_EQ(g_draw3d.fractal_levels, 6);
             EXPECT_EQ(g_draw3d.fractal_deriv, -0.5);
             EXPECT_EQ(g_draw3d.fractal_mode, 1);
         }},
    };
    std::vector<std::string> boxes;
    const MsgBoxHook old_box = msgbox_set_hook([&](const MsgBoxRequest& r) {
        boxes.push_back(r.text);
        return kIdOk;
    });
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        g_draw3d = Draw3DSettings{};
        g_draw3d.use_pattern = 5;  // any non-zero value shows checked
        boxes.clear();
        {
            ModalScript s([&](CDialog& d) {
                EXPECT_EQ(d.windowTitle().toStdString(), c.title);
                for (const auto& [id, text] : c.shown) EXPECT_EQ(d.GetDlgItemText(id), text) << id;
                if (QCheckBox* b = check(d, kIdcUsePattern)) { EXPECT_TRUE(b->isChecked()); }
                shot(d, c.shot);
                if (c.refused_edit) {
                    d.SetDlgItemText(c.edits[0].id, c.refused_edit);
                    d.press(IDOK);  // refused: the dialog stays
                }
                for (const Edit& e : c.edits) {
                    if (e.text) d.SetDlgItemText(e.id, e.text);
                    else check(d, e.id)->setChecked(!check(d, e.id)->isChecked());
                }
                d.press(IDOK);
            });
            EXPECT_TRUE(c.dialog(nullptr));
        }
        EXPECT_EQ(boxes.size(), c.refused_edit ? 1u : 0u);
        c.check();
        // Cancel stores nothing.
        const Draw3DSettings kept = g_draw3d;
        {
            ModalScript s([&](CDialog& d) {
                for (const Edit& e : c.edits)
                    if (e.text) d.SetDlgItemText(e.id, "3");
                d.press(IDCANCEL);
            });
            EXPECT_FALSE(c.dialog(nullptr));
        }
        EXPECT_EQ(kept.faces_m, g_draw3d.faces_m);
        EXPECT_EQ(kept.faces_n, g_draw3d.faces_n);
        EXPECT_EQ(kept.fractal_levels, g_draw3d.fractal_levels);
        EXPECT_EQ(kept.fractal_deriv, g_draw3d.fractal_deriv);
        EXPECT_EQ(kept.revolve_angle, g_draw3d.revolve_angle);
        EXPECT_EQ(kept.revolve_start, g_draw3d.revolve_start);
    }
    msgbox_set_hook(old_box);
    g_draw3d = Draw3DSettings{};
}

}  // namespace
