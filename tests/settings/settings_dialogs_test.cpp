// The settings dialogs of a drawing view driven through the modal hook: each shows
// the VIEW's fields, OK writes back exactly the edited ones (untouched values keep
// every bit, whatever precision the control shows), Cancel changes nothing, and
// values a file may hold that a control cannot show (zero, negative, not finite)
// are shown as the control's default without being written back.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <filesystem>
#include <fstream>

#include <QFileDialog>
#include <sys/stat.h>

#include "dialogs/edit_dialogs.h"
#include "dialogs/settings_dialogs.h"
#include "dialogs/xfile.h"
#include "graphics/view/view.h"
#include "model/db/patt.h"
#include "model/db/solid.h"
#include "model/db/tree.h"
#include "model/db/undo.h"
#include "model/services/msgbox.h"
#include "model/services/prefs.h"
#include "platform/dialog.h"
#include "commands/input/feedback.h"
#include "commands/input/support.h"
#include "pictures.h"
#include "scene.h"
#include "shell/ddx.h"
#include "shell/view_paint.h"
#include "shell/view_rules.h"
#include "model/math/matrix.h"
#include "commands/input/zoom.h"
#include "model/db/iter.h"
#include "commands/model3d/scene_objects.h"
#include "graphics/view/projection.h"
#include "../platform/qt_test_env.h"

namespace {

// Every VIEW field one of the dialogs edits, as numbers.
std::vector<double> fields(const VIEW* v) {
    std::vector<double> f = {v->projection.scale, v->projection.origin_x, v->projection.origin_y, v->zoom_limit,
                             v->grid_steps[0], v->grid_steps[1], v->grid_steps[2], v->grid_steps[3],
                             double(v->flags), double(v->grid_on), double(v->step_select), v->elevation,
                             v->cursor_angle, v->drawing_scales[0], v->drawing_scales[1], v->accuracy_linear,
                             v->accuracy_angular, double(v->orthogonal), double(v->keep_depth),
                             double(v->direction), double(v->coordinate_type), double(v->length_unit),
                             double(v->cartesian), double(v->degrees), v->user_origin.x, v->user_origin.y,
                             v->user_origin.z, v->projection.eye_distance, double(v->projection.mode)};
    for (double m : v->projection.view.m) f.push_back(m);
    return f;
}
enum Field { kScale, kOriginX, kOriginY, kZoomLimit, kStep0, kStep1, kStep2, kStep3, kFlags, kGridOn, kStepSelect,
             kElevation, kCursorAngle, kScales0, kScales1, kAccLinear, kAccAngular, kOrtho, kKeepDepth, kDirection,
             kCoordType, kLengthUnit, kCartesian, kDegrees, kUserX, kUserY, kUserZ, kEye, kMode, kMatrix };

// Values that no control shows to the last bit.
void odd_values(VIEW* v) {
    v->projection.scale = 2.718281828459045;
    v->projection.origin_x = 0.123456789012;
    v->projection.origin_y = -7.77777777777;
    v->zoom_limit = 999.123456789;
    for (int i = 0; i < 4; ++i) v->grid_steps[i] = 1.0 / (3 + i);
    v->elevation = 0.1 + 0.2;
    v->cursor_angle = 0.3333333333;
    v->drawing_scales[0] = 1.0 / 3, v->drawing_scales[1] = 2.0 / 3;
    v->accuracy_linear = 4.44444444444;
    v->accuracy_angular = 0.2617993877991494;
    v->user_origin = {0.1f, 0.2f, 0.3f};
    v->projection.eye_distance = 123.456789;
}

QLineEdit* edit(CDialog& d, int id) {
    auto* e = qobject_cast<QLineEdit*>(d.GetDlgItem(id));
    EXPECT_NE(e, nullptr) << id;
    return e;
}
void tick(CDialog& d, int id, bool on) {
    auto* b = qobject_cast<QAbstractButton*>(d.GetDlgItem(id));
    ASSERT_NE(b, nullptr) << id;
    b->setChecked(on);
}
double shown(CDialog& d, int id) { return std::strtod(edit(d, id)->text().toStdString().c_str(), nullptr); }

struct SettingsDialogs : ::testing::Test {
    void SetUp() override {
        saved = g_prefs;
        set_number_format_from(nullptr, 4, 64);
        msgbox_set_hook([this](const MsgBoxRequest& b) {
            boxes.push_back(b.text);
            return kIdOk;
        });
    }
    void TearDown() override {
        platform_set_modal_hook(nullptr);
        msgbox_set_hook(nullptr);
        g_prefs = saved;
    }
    Preferences saved;
    std::vector<std::string> boxes;
};

TEST_F(SettingsDialogs, OkWritesExactlyTheEditedFieldsAndCancelNothing) {
    using Open = std::function<bool(VIEW*)>;
    struct Case {
        const char* what;
        Open open;
        std::function<void(CDialog&, VIEW*)> check_shown;
        std::function<void(CDialog&)> change;
        std::vector<std::pair<Field, double>> want;  // fields that change, with their new values
    };
    const int S = kIdcSet;
    const std::vector<Case> cases = {
        {"zoom: origin x", [](VIEW* v) { return zooming_dialog(v); },
         [S](CDialog& d, VIEW*) {
             EXPECT_NEAR(shown(d, S + 1), 2.718, 1e-3);
             EXPECT_NEAR(shown(d, S + 8), 999.1, 0.1);
         },
         [S](CDialog& d) { edit(d, S + 4)->setText("5"); }, {{kOriginX, 5}}},
        {"zoom: maximum scale", [](VIEW* v) { return zooming_dialog(v); }, nullptr,
         [S](CDialog& d) { edit(d, S + 8)->setText("50"); }, {{kZoomLimit, 50}}},
        {"grid: coarse x step and shown", [](VIEW* v) { return grid_settings_dialog(v); },
         [S](CDialog& d, VIEW*) { EXPECT_NEAR(shown(d, S + 6), 1.0 / 3, 1e-3); },
         [S](CDialog& d) {
             edit(d, S + 6)->setText("2.5");
             tick(d, S, true);
         },
         {{kStep0, 2.5}, {kFlags, double(0x82C | kViewFlagGrid)}}},
        {"grid: fine steps chosen", [](VIEW* v) { return grid_settings_dialog(v); }, nullptr,
         [S](CDialog& d) { tick(d, S + 4, true); }, {{kStepSelect, 0}}},
        {"drawing aids: elevation", [](VIEW* v) { return drawing_aids_dialog(&v); },
         [S](CDialog& d, VIEW*) { EXPECT_NEAR(shown(d, S + 1), 0.3, 1e-3); },
         [S](CDialog& d) { edit(d, S + 1)->setText("7"); }, {{kElevation, 7}}},
        {"drawing aids: orthogonal and second scale", [](VIEW* v) { return drawing_aids_dialog(&v); }, nullptr,
         [S](CDialog& d) {
             tick(d, S + 11, true);
             edit(d, S + 6)->setText("4");
         },
         {{kOrtho, 1}, {kScales1, 4}}},
        {"coordinates: user origin type and z", [](VIEW* v) { return coordinate_system_dialog(v); },
         [S](CDialog& d, VIEW*) {
             EXPECT_TRUE(d.IsDlgButtonChecked(S + 1));
             EXPECT_NEAR(shown(d, S + 12), 0.2, 1e-3);
         },
         [S](CDialog& d) {
             tick(d, S + 2, true);
             edit(d, S + 13)->setText("-3");
         },
         {{kCoordType, 1}, {kUserZ, -3}}},
        {"coordinates: feet and inches", [](VIEW* v) { return coordinate_system_dialog(v); }, nullptr,
         [S](CDialog& d) { tick(d, S + 7, true); }, {{kLengthUnit, 2}}},
        {"view point: eye distance only", [](VIEW* v) { return view_point_dialog(&v); },
         [S](CDialog& d, VIEW*) {
             EXPECT_NEAR(shown(d, S + 3), 90, 1e-6);  // the plan view looks straight down
         },
         [S](CDialog& d) { edit(d, S + 6)->setText("40"); }, {{kEye, 40}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (int press : {IDOK, IDCANCEL}) {
            Harness h;
            VIEW* v = h.view();
            odd_values(v);
            g_prefs.scale_x = 0;
            const std::vector<double> before = fields(v);
            int opened = 0;
            platform_set_modal_hook([&](CDialog& d) {
                ++opened;
                if (const char* dir = std::getenv("ZELO_SHOT_DIR"); dir && press == IDOK) {
                    d.adjustSize();
                    d.grab().save(QString("%1/settings_%2.png").arg(dir).arg(d.template_id()));
                }
                if (c.check_shown) c.check_shown(d, v);
                c.change(d);
                d.press(press);
                EXPECT_TRUE(d.ended());
            });
            c.open(v);
            EXPECT_EQ(opened, 1);
            std::vector<double> want = before;
            if (press == IDOK)
                for (const auto& [f, value] : c.want) want[size_t(f)] = value;
            const std::vector<double> after = fields(v);
            for (size_t i = 0; i < want.size(); ++i)
                EXPECT_EQ(after[i], want[i]) << "field " << i << (press == IDOK ? " OK" : " Cancel");
        }
    }
}

// Cursor angle 30 in Drawing Aids turns the cross-hair and the rubber box drawn with
// it (the reviewed picture of the feedback suite's 30-degree box).
TEST_F(SettingsDialogs, DrawingAidsCursorAngleTurnsTheCrossHair) {
    Harness h(1, 160, 120);
    VIEW* v = h.view();
    platform_set_modal_hook([](CDialog& d) {
        edit(d, kIdcSet + 3)->setText("30");
        d.press(IDOK);
    });
    ASSERT_TRUE(drawing_aids_dialog(&v));
    EXPECT_NEAR(v->cursor_angle, M_PI / 6, 1e-12);
    EXPECT_EQ(v->cross_arm[0], 1023);  // sin and cos times 2048, truncated
    EXPECT_EQ(v->cross_arm[1], 1773);
    DocInputState* st = view_input_state(v);
    st->points[0] = {50, 50, 0};
    st->on_move = cursor_draw_rubber_box;
    h.forced_command_view = v;
    v->cursor_pixel[0] = 110;
    v->cursor_pixel[1] = 80;
    h.show_cursor_mark(v, true, true);
    expect_picture(h.window()->canvas, "commands", "rubber_box_30");
    h.show_cursor_mark(v, false, true);
}

TEST_F(SettingsDialogs, UnshowableFileValuesShowDefaultsAndStayUnwritten) {
    Harness h;
    VIEW* v = h.view();
    const double nan = std::nan("");
    v->grid_steps[0] = 0;
    v->grid_steps[1] = nan;
    v->grid_steps[2] = -1;
    v->grid_steps[3] = INFINITY;
    v->projection.scale = 0;
    v->zoom_limit = -5;
    v->drawing_scales[0] = nan;
    v->accuracy_linear = 0;
    const int S = kIdcSet;
    struct Case {
        std::function<bool()> open;
        std::vector<std::pair<int, double>> shown;  // control, default shown
    };
    g_prefs.scale_x = 0;
    g_prefs.scale_round = nan;
    const std::vector<Case> cases = {
        {[v] { return grid_settings_dialog(v); }, {{S + 6, 10}, {S + 8, 10}, {S + 10, 0.1}, {S + 12, 0.1}}},
        {[v] { return zooming_dialog(v); }, {{S + 1, 1}, {S + 8, 1000}, {S + 10, 0.01}}},
        {[v]() mutable { return drawing_aids_dialog(&v); }, {{S + 5, 1}, {S + 8, 5}}},
    };
    for (const Case& c : cases) {
        const std::vector<double> before = fields(v);
        platform_set_modal_hook([&](CDialog& d) {
            for (const auto& [id, value] : c.shown) EXPECT_DOUBLE_EQ(shown(d, id), value) << id;
            d.press(IDOK);
        });
        EXPECT_TRUE(c.open());
        const std::vector<double> after = fields(v);
        for (size_t i = 0; i < before.size(); ++i)
            EXPECT_TRUE(after[i] == before[i] || (std::isnan(after[i]) && std::isnan(before[i]))) << i;
    }
    EXPECT_TRUE(std::isnan(g_prefs.scale_round));  // untouched
    EXPECT_TRUE(boxes.empty());
}

TEST_F(SettingsDialogs, TypedZeroStepIsRefusedAndTheDialogStaysOpen) {
    // Typed values a field cannot hold: refused with one message, the dialog stays
    // open and Cancel leaves the view as it was.
    struct Case {
        const char* what;
        int id;
        const char* typed;
        bool (*open)(VIEW*);
    };
    const Case cases[] = {
        {"zero grid step", kIdcSet + 6, "0", &grid_settings_dialog},
        {"user origin past what the view stores", kIdcSet + 11, "1e39", &coordinate_system_dialog},
        // Written into the view, these made the cursor (NaN, NaN, inf) and no click a point.
        {"elevation beyond the float range", kIdcSet + 1, "1e300",
         +[](VIEW* v) { return drawing_aids_dialog(&v); }},
        {"zoom origin beyond the float range", kIdcSet + 4, "-1e300", &zooming_dialog},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        boxes.clear();
        Harness h;
        VIEW* v = h.view();
        const std::vector<double> before = fields(v);
        static const Case* now;
        now = &c;
        platform_set_modal_hook([](CDialog& d) {
            edit(d, now->id)->setText(now->typed);
            d.press(IDOK);
            EXPECT_FALSE(d.ended());
            d.press(IDCANCEL);
        });
        EXPECT_FALSE(c.open(v));
        EXPECT_EQ(fields(v), before);
        EXPECT_EQ(boxes.size(), 1u);
    }
}

TEST_F(SettingsDialogs, ZoomScaleKeepsTheCentreAndRespectsTheLimit) {
    Harness h(1, 200, 100);
    VIEW* v = h.view();
    v->projection.scale = 1;
    v->projection.origin_x = 0, v->projection.origin_y = 0;  // centre (100, 50)
    g_prefs.scale_round = 0.5;
    g_prefs.keep_centre = 1;
    g_prefs.scale_x = 0;
    struct Case {
        const char* typed;
        double scale, ox, oy;
    };
    for (const Case& c : {Case{"2", 2, 50, 25}, Case{"5000", 1000, 99.9, 49.95}}) {
        SCOPED_TRACE(c.typed);
        v->projection.scale = 1, v->projection.origin_x = 0, v->projection.origin_y = 0;
        platform_set_modal_hook([&](CDialog& d) {
            edit(d, kIdcSet + 8)->setText("1000");
            edit(d, kIdcSet + 1)->setText(c.typed);
            d.press(IDOK);
        });
        EXPECT_TRUE(zooming_dialog(v));
        EXPECT_DOUBLE_EQ(v->projection.scale, c.scale);
        EXPECT_NEAR(v->projection.origin_x, c.ox, 1e-9);
        EXPECT_NEAR(v->projection.origin_y, c.oy, 1e-9);
        EXPECT_DOUBLE_EQ(v->previous_scale, 1);
    }
}

TEST_F(SettingsDialogs, PresetsTurnTheViewToTheStandardDirections) {
    Harness h;
    VIEW* v = h.view();
    scene_line(scene_layer(h.model()), {{0, 0, 0}, {10, 0, 5}});
    // What the screen's right and up show for each preset, as world axes.
    struct Case {
        int id;
        Vec3 right, up;
    };
    const Case cases[] = {
        {6010, {1, 0, 0}, {0, 0, 1}},  {6011, {0, 1, 0}, {0, 0, 1}}, {6012, {1, 0, 0}, {0, 1, 0}},
        {6013, {-1, 0, 0}, {0, 0, 1}}, {6014, {0, -1, 0}, {0, 0, 1}}, {6015, {-1, 0, 0}, {0, 1, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        ASSERT_TRUE(view_point_preset(v, c.id));
        const double* m = v->projection.view.m;
        // Column 0 of the rows is the screen x of each world axis, column 1 its y.
        EXPECT_NEAR(m[0], c.right.x, 1e-12);
        EXPECT_NEAR(m[3], c.right.y, 1e-12);
        EXPECT_NEAR(m[6], c.right.z, 1e-12);
        EXPECT_NEAR(m[1], c.up.x, 1e-12);
        EXPECT_NEAR(m[4], c.up.y, 1e-12);
        EXPECT_NEAR(m[7], c.up.z, 1e-12);
        Matrix43 product;
        mat_mul(&product, &v->projection.view, &v->projection.inverse);
        for (int i = 0; i < 12; ++i) EXPECT_NEAR(product.m[i], kMatIdentity.m[i], 1e-12);
        EXPECT_EQ(v->projection.mode, kProjParallel);
    }
    EXPECT_FALSE(view_point_preset(v, 6016));
}

TEST_F(SettingsDialogs, UserViewsStoreAndRestoreTheProjection) {
    Harness h;
    VIEW* v = h.view();
    view_point_preset(v, 6011);
    v->projection.scale = 3;
    v->projection.origin_x = 12;
    const Matrix43 right = v->projection.view;
    platform_set_modal_hook([](CDialog& d) {
        d.SetDlgItemText(kIdcSet + 3, "Side");
        d.press(kIdcSet + 4);  // save the current view
        d.press(IDOK);
    });
    user_view_dialog(v);
    ASSERT_EQ(stored_views(h.model()).size(), 1u);
    EXPECT_STREQ(stored_views(h.model())[0]->name(), "Side");
    view_point_preset(v, 6012);
    v->projection.scale = 1;
    platform_set_modal_hook([](CDialog& d) {
        qobject_cast<QListWidget*>(d.GetDlgItem(kIdcSet + 1))->setCurrentRow(0);
        d.press(IDOK);
    });
    EXPECT_TRUE(user_view_dialog(v));
    EXPECT_DOUBLE_EQ(v->projection.scale, 3);
    EXPECT_DOUBLE_EQ(v->projection.origin_x, 12);
    for (int i = 0; i < 12; ++i) EXPECT_NEAR(v->projection.view.m[i], right.m[i], 1e-9);
    // A stored view with nonsense values is not applied.
    stored_views(h.model())[0]->params[5] = -1;
    EXPECT_FALSE(vport_apply(v, stored_views(h.model())[0]));
}

TEST_F(SettingsDialogs, LayersDialogSetsVisibilityAndCurrentLayerOnOkOnly) {
    Harness h;
    VIEW* v = h.view();
    ASSERT_TRUE(layer_new(v, "Walls"));
    LAYER* first = scene_layer(h.model());
    v->current_layer = first;
    for (int press : {IDCANCEL, IDOK}) {
        platform_set_modal_hook([press](CDialog& d) {
            auto* list = qobject_cast<QListWidget*>(d.GetDlgItem(kIdcSet + 1));
            ASSERT_EQ(list->count(), 2);
            EXPECT_EQ(list->item(0)->checkState(), Qt::Checked);
            list->item(0)->setCheckState(Qt::Unchecked);
            list->setCurrentRow(1);
            d.press(kIdcSet + 6);  // make "Walls" current
            d.press(press);
        });
        layers_dialog(v);
        const bool ok = press == IDOK;
        EXPECT_EQ(v->current_layer == first, !ok);
        EXPECT_EQ(v->layer_state.flags.empty() || v->layer_state.flags[0] != 0, !ok);
    }
}

// New and Delete in the Layers dialog, Save current and Delete in User views: Cancel
// keeps none of it; OK does it all, undoable.
TEST_F(SettingsDialogs, LayersAndUserViewsChangeTheDrawingOnOkOnly) {
    Harness h;
    VIEW* v = h.view();
    MODEL* m = h.model();
    ASSERT_TRUE(layer_new(v, "Old"));
    platform_set_modal_hook([](CDialog& d) {
        d.SetDlgItemText(kIdcSet + 3, "Side");
        d.press(kIdcSet + 4);
        d.press(IDOK);
    });
    ASSERT_TRUE(user_view_dialog(v));
    ASSERT_EQ(stored_views(m).size(), 1u);
    const int levels = m->undo_levels;
    for (int press : {IDCANCEL, IDOK}) {
        SCOPED_TRACE(press);
        platform_set_modal_hook([press](CDialog& d) {
            auto* list = qobject_cast<QListWidget*>(d.GetDlgItem(kIdcSet + 1));
            d.SetDlgItemText(kIdcSet + 3, "Walls");
            d.press(kIdcSet + 4);  // New
            list->setCurrentItem(list->findItems("Old", Qt::MatchExactly).value(0));
            d.press(kIdcSet + 5);  // Delete
            if (const char* dir = std::getenv("ZELO_SHOT_DIR"))
                d.grab().save(QString("%1/layers_dialog_pending.png").arg(dir));
            d.press(press);
        });
        layers_dialog(v);
        platform_set_modal_hook([press](CDialog& d) {
            qobject_cast<QListWidget*>(d.GetDlgItem(kIdcSet + 1))->setCurrentRow(0);
            d.press(kIdcSet + 5);  // Delete "Side"
            d.SetDlgItemText(kIdcSet + 3, "Top");
            d.press(kIdcSet + 4);  // Save current
            d.press(press);
        });
        user_view_dialog(v);
        const bool ok = press == IDOK;
        EXPECT_EQ(layer_find(m, "Walls") != nullptr, ok);
        EXPECT_EQ(layer_find(m, "Old") == nullptr, ok);
        ASSERT_EQ(stored_views(m).size(), 1u);
        EXPECT_STREQ(stored_views(m)[0]->name(), ok ? "Top" : "Side");
        EXPECT_EQ(v->layer_state.flags.size(), 2u);
        EXPECT_EQ(m->undo_levels, levels + (ok ? 2 : 0));  // the layer deletion, the views
    }
    model_undo(m);
    ASSERT_EQ(stored_views(m).size(), 1u);
    EXPECT_STREQ(stored_views(m)[0]->name(), "Side");
}

// New "walls" and "roof", hide "roof", delete "walls" (it holds a line: Yes), then
// Undo and Redo: every layer keeps its own visibility in the view.
TEST_F(SettingsDialogs, UndoOfALayerDeletionGivesEachLayerItsOwnVisibility) {
    Harness h;
    VIEW* v = h.view();
    MODEL* m = h.model();
    msgbox_set_hook([](const MsgBoxRequest&) { return kIdYes; });
    auto layers = [&](std::function<void(CDialog&, QListWidget*)> steps) {
        platform_set_modal_hook([&](CDialog& d) {
            steps(d, qobject_cast<QListWidget*>(d.GetDlgItem(kIdcSet + 1)));
            d.press(IDOK);
        });
        layers_dialog(v);
    };
    layers([](CDialog& d, QListWidget*) {
        for (const char* name : {"walls", "roof"}) {
            d.SetDlgItemText(kIdcSet + 3, name);
            d.press(kIdcSet + 4);
        }
    });
    scene_line(layer_find(m, "walls"), {{0, 0, 0}, {10, 0, 0}});
    layers([](CDialog&, QListWidget* list) { list->findItems("roof", Qt::MatchExactly)[0]->setCheckState(Qt::Unchecked); });
    layers([](CDialog& d, QListWidget* list) {
        list->setCurrentItem(list->findItems("walls", Qt::MatchExactly)[0]);
        d.press(kIdcSet + 5);
    });
    ASSERT_EQ(layer_find(m, "walls"), nullptr);
    auto shown = [&](const char* name) { return view_layer_flag(v, layer_index_of(m, layer_find(m, name))); };
    EXPECT_EQ(shown("roof"), 0);
    for (auto step : {cmd_undo, cmd_redo, cmd_undo}) {
        step(v);
        EXPECT_EQ(shown("roof"), 0);
        EXPECT_EQ(shown("walls"), 1);  // also while it is out (no entry: visible)
    }
    ASSERT_NE(layer_find(m, "walls"), nullptr);
}

TEST_F(SettingsDialogs, LineStyleSettingsChangeOnlyTheEditedValues) {
    Harness h;
    VIEW* v = h.view();
    v->line_width = 0.123456789;
    v->accuracy_angular = 0.2617993877991494;
    v->line_style_scale = 1.0 / 3;
    v->accuracy_linear = 4.4444444;
    platform_set_modal_hook([](CDialog& d) {
        edit(d, kIdcFirst + 13)->setText("2");  // curve step
        d.press(IDOK);
    });
    EXPECT_TRUE(line_style_settings(v));
    EXPECT_EQ(v->line_width, 0.123456789);
    EXPECT_EQ(v->accuracy_angular, 0.2617993877991494);
    EXPECT_EQ(v->line_style_scale, 1.0 / 3);
    EXPECT_EQ(v->accuracy_linear, 2);
}

TEST_F(SettingsDialogs, ReportListsWhatTheInfoBitsAsk) {
    Harness h;
    MODEL* m = h.model();
    scene_line(scene_layer(m), {{0, 0, 0}, {10, 0, 0}});
    auto cam = rtc_make<CAMERA>();
    cam->set_string(0, "Side");
    EXPECT_EQ(container_insert(scene_layer(m), cam.release()), 0);
    m->frame_count = 24;
    struct Case {
        int info;
        std::vector<std::string> present, absent;
    };
    const std::vector<Case> cases = {
        {16377, {"Cameras: 1", "  Side", "XPLINE: 1", "Animation: 24 frames", "Layers:"}, {"Extents", "Views:"}},
        {512, {"Cameras: 1"}, {"Layers:", "XPLINE", "Animation"}},
        {0, {}, {"Cameras", "Layers"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.info);
        const std::string text = drawing_report_text(m, h.view(), c.info);
        for (const std::string& p : c.present) EXPECT_NE(text.find(p), std::string::npos) << p;
        for (const std::string& a : c.absent) EXPECT_EQ(text.find(a), std::string::npos) << a;
    }
    // The dialog stores the bits on OK only.
    g_prefs.info = 512;
    platform_set_modal_hook([](CDialog& d) {
        tick(d, kIdcSet + 60, true);  // Summary
        d.press(IDOK);
    });
    report_dialog_show(h.view());
    EXPECT_EQ(g_prefs.info, 513);
    platform_set_modal_hook([](CDialog& d) {
        tick(d, kIdcSet + 60, false);
        d.press(IDCANCEL);
    });
    report_dialog_show(h.view());
    EXPECT_EQ(g_prefs.info, 513);
}

// The report's Save writes text, offered as text, through the safe writer: its first
// line names the drawing, and a pipe is refused at once.
TEST_F(SettingsDialogs, ReportIsSavedAsTextThatNamesTheDrawing) {
    Harness h;
    const std::string dir = std::filesystem::temp_directory_path() / ("zelo_report_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const std::string text = dir + "/info.txt", pipe = dir + "/pipe.txt";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    std::string filters, said;
    msgbox_set_hook([&](const MsgBoxRequest& r) { return said = r.text, (r.style & kMbButtonMask) == kMbYesNo ? kIdYes : kIdOk; });
    for (const std::string& target : {text, pipe}) {
        xfile_set_test_hook([&](CXFile& d) { return filters = d.dialog()->nameFilters().join(";").toStdString(), d.choose(target, -1), true; });
        g_prefs.info = 1;
        platform_set_modal_hook([](CDialog& d) { d.press(kIdcSet + 82), d.press(IDCANCEL); });
        report_dialog_show(h.view());
        EXPECT_TRUE(filters.find("*.txt") != std::string::npos && filters.find("qvm") == std::string::npos) << filters;
    }
    xfile_set_test_hook(nullptr);
    msgbox_set_hook(nullptr);
    std::ifstream in(text);
    std::string first;
    std::getline(in, first);
    EXPECT_EQ(first, "Drawing: drawing.qvm");
    EXPECT_NE(said.find(pipe + " (19: not a regular file"), std::string::npos) << said;
    std::filesystem::remove_all(dir);
}

// Lines near the origin, a camera and a light seen from azimuth
// 315, elevation 35: Zoom all brings every point inside the window and fills it.
TEST_F(SettingsDialogs, ZoomAllInATurnedViewFitsEveryObject) {
    Harness h;
    g_prefs.scale_round = 0.01;
    LAYER* l = scene_layer(h.model());
    scene_line(l, {{-300, -250, 0}, {-150, -250, 0}});
    scene_line(l, {{-250, 150, 0}, {-100, 150, 0}, {-100, 250, 0}, {-250, 250, 0}, {-250, 150, 0}});
    scene_add(l, new_camera({0, -800, 100}, {0, 0, 100}, 7).release());
    scene_add(l, new_light({0, -800, 800}, nullptr).release());
    const double az = 315 * M_PI / 180, el = 35 * M_PI / 180;
    ASSERT_TRUE(view_set_direction(h.view(), std::cos(el) * std::cos(az), std::cos(el) * std::sin(az), std::sin(el)));
    view_zoom_all(h.view());
    // Every vertex the view draws, in pixels.
    struct Pixels : ZITER {
        const ViewProjection* vp;
        int x0 = INT32_MAX, y0 = INT32_MAX, x1 = INT32_MIN, y1 = INT32_MIN;
        int visit(object*, int, int status) override { return status > 0 ? status : 0; }
        int move_to(double x, double y, double z, int dx, int dy) override { return line_to(x, y, z, dx, dy); }
        int line_to(double x, double y, double z, int dx, int dy) override {
            int px, py;
            world_to_pixel(vp, Vec3{float(x), float(y), float(z)}, &px, &py);
            x0 = std::min(x0, px + dx), x1 = std::max(x1, px + dx);
            y0 = std::min(y0, py + dy), y1 = std::max(y1, py + dy);
            return 0;
        }
    } px;
    px.vp = &h.view()->projection;
    h.model()->walk(&px);
    EXPECT_GE(px.x0, 0);
    EXPECT_GE(px.y0, 0);
    EXPECT_LE(px.x1, 240);
    EXPECT_LE(px.y1, 180);
    EXPECT_TRUE(px.x1 - px.x0 >= 216 || px.y1 - px.y0 >= 162) << px.x0 << ".." << px.x1 << " " << px.y0 << ".." << px.y1;
}

}  // namespace
