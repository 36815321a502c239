// The property changes: which material the sheet starts from, the "Change What?"
// masks, Change Layer through undo and redo, a cancelled camera dialog, and Change
// 2D Text on several texts.
#include <cmath>
#include <cstring>

#include "../file/file_support.h"
#include "commands/dimension/dim_command.h"
#include "commands/input/support.h"
#include "dialogs/edit_dialogs.h"
#include "edit_fixture.h"
#include "graphics/view/colours.h"
#include "graphics/view/view.h"
#include "model/db/find.h"
#include "model/db/glimpse_notify.h"
#include "model/db/patt.h"
#include "model/db/solid.h"
#include "model/db/tree.h"
#include "model/font/strokefont.h"
#include "model/material/material.h"
#include "model/math/result.h"
#include "model/mesh/mesh_block.h"
#include "platform/modal.h"

namespace {

using PropertyTest = EditTest;

MESH3* mesh_in(MODEL* m, float red) {
    auto x = rtc_make<MESH3>();
    x->material->colour[0] = red;
    x->colour = 2;
    return scene_add(scene_layer(m), x.release());
}

TEST_F(PropertyTest, MaterialSheetStartsFromTheRightMaterial) {
    struct Seen {
        float red = -1;
        int32_t colour = -1;
        bool camera = false;
        int change_what = 0;
    };
    // One mesh: its own material, no "Change What?".
    {
        Harness h;
        define_edit_commands(h);
        MESH3* one = mesh_in(h.model(), 0.75f);
        h.view()->material.colour[0] = 0.125f;
        EXPECT_EQ(buffer_add(h.view()->selection, one), 0);
        Seen seen;
        edit_dialogs().material_sheet = [&](VIEW*, int32_t* colour, MaterialRecord* m, bool camera, SheetImages*) {
            seen = {m->colour[0], *colour, camera, 0};
            m->colour[1] = 0.5f;
            return true;
        };
        edit_dialogs().change_what = [&](VIEW*, int32_t*) { return ++seen.change_what, true; };
        EXPECT_EQ(h.run(kCmdChangeMaterial), 0);
        EXPECT_FLOAT_EQ(seen.red, 0.75f);
        EXPECT_EQ(seen.colour, 2);
        EXPECT_EQ(seen.change_what, 0);
        auto* now = rtc_cast<MESH3>(*refs_of(h.view()->selection).begin());
        ASSERT_NE(now, nullptr);
        EXPECT_NE(now, one);  // a clone, so Undo brings the old one back
        EXPECT_FLOAT_EQ(now->material->colour[1], 0.5f);
        EXPECT_EQ(h.model()->undo_levels, 1);
    }
    // Two meshes: the view's material, then "Change What?" (here: colour only).
    {
        Harness h;
        define_edit_commands(h);
        EXPECT_EQ(buffer_add(h.view()->selection, mesh_in(h.model(), 0.75f)), 0);
        EXPECT_EQ(buffer_add(h.view()->selection, mesh_in(h.model(), 0.25f)), 0);
        h.view()->material.specular_exponent = 12.5f;
        float red = -1, exponent = 0;
        int asked = 0;
        edit_dialogs().material_sheet = [&](VIEW*, int32_t*, MaterialRecord* m, bool, SheetImages*) {
            red = m->colour[0];
            exponent = m->specular_exponent;
            m->shininess = 0.9f;
            return true;
        };
        edit_dialogs().change_what = [&](VIEW*, int32_t* mask) {
            ++asked;
            *mask = kMatApplyColour;
            return true;
        };
        h.run(kCmdChangeMaterial);
        float rgba[4];
        colour_index_rgb(rgba, 2);  // the colour of the first object
        EXPECT_FLOAT_EQ(red, rgba[0]);
        EXPECT_FLOAT_EQ(exponent, 12.5f);
        EXPECT_EQ(asked, 1);
        for (ZOBJ* o : refs_of(h.view()->selection)) {
            auto* m = rtc_cast<MESH3>(o);
            EXPECT_FLOAT_EQ(m->material->colour[0], rgba[0]);
            EXPECT_NE(m->material->shininess, 0.9f);  // not chosen
        }
        // Cancelled "Change What?" rolls the clone level back.
        const std::string before = dump_drawing(h.model());
        const int levels = h.model()->undo_levels;
        edit_dialogs().change_what = [](VIEW*, int32_t*) { return false; };
        h.run(kCmdChangeMaterial);
        EXPECT_EQ(dump_drawing(h.model()), before);
        EXPECT_EQ(h.model()->undo_levels, levels);
    }
    // A light: its colour starts the sheet.
    {
        Harness h;
        define_edit_commands(h);
        auto l = rtc_make<LIGHT>();
        l->light_colour[0] = 0.3f;
        l->light_colour[1] = 0.6f;
        LIGHT* light = scene_add(scene_layer(h.model()), l.release());
        EXPECT_EQ(buffer_add(h.view()->selection, light), 0);
        float rgb[2] = {0, 0};
        edit_dialogs().material_sheet = [&](VIEW*, int32_t*, MaterialRecord* m, bool, SheetImages*) {
            rgb[0] = m->colour[0];
            rgb[1] = m->colour[1];
            return false;  // cancel: nothing changes
        };
        h.run(kCmdChangeMaterial);
        EXPECT_FLOAT_EQ(rgb[0], 0.3f);
        EXPECT_FLOAT_EQ(rgb[1], 0.6f);
        EXPECT_EQ(h.model()->undo_levels, 0);
    }
}

// A click takes every object under the point and the status line says how many: over
// a mesh's edge, a floor's edge and a spot light's cone at once, three; the cone alone, one.
TEST_F(PropertyTest, ColourMaterialSaysHowManyObjectsTheClickTook) {
    Harness h;
    define_edit_commands(h);
    const Vec3 p[6] = {{30, 50, 0}, {70, 50, 0}, {50, 80, 0}, {50, 20, -5}, {50, 80, -5}, {90, 50, -5}};
    for (int i : {0, 3}) {  // edges along y = 50 and along x = 50
        MESH3* m = mesh_in(h.model(), 0.5f);
        ASSERT_EQ(mesh_add_face(m, &p[i], &p[i + 1], &p[i + 2], nullptr, 0), 0);
        m->own_box();
    }
    auto s = rtc_make<SPOTLITE>();
    s->position = {100, 50, 100};
    s->target = {100, 50, 0};
    s->cone_cos[0] = s->cone_cos[1] = float(std::cos(std::atan(0.5)));  // radius 50: through (50, 50)
    scene_add(scene_layer(h.model()), s.release());
    edit_dialogs().material_sheet = [](VIEW*, int32_t*, MaterialRecord*, bool, SheetImages*) { return false; };
    h.click({50, 50, 0}).click({150, 50, 0}).esc();
    h.run(kCmdChangeMaterial);
    EXPECT_EQ(h.messages, (std::vector<std::string>{"3 objects picked", "1 object picked"}));
}

TEST_F(PropertyTest, WidthAloneKeepsPatterns) {
    Harness h;
    define_edit_commands(h);
    auto d = rtc_make<LINEPATT>();
    d->set_string(0, "Dash");
    LINEPATT* dash = d.get();
    model_insert_patt(h.model(), d.release());
    for (float y : {0.0f, 20.0f}) {
        XPLINE* l = line_at(h.model(), 0, y);
        l->line_style = dash;
        l->curve_step = 3;
        EXPECT_EQ(buffer_add(h.view()->selection, l), 0);
    }
    edit_dialogs().line_style = [&](VIEW*, const RtcClass* cls, StyleValues* v) {
        EXPECT_EQ(cls, &LINEPATT::rtc_class);
        v->width = 2.5;
        v->pattern = model_find_patt(h.model(), "Solid", &LINEPATT::rtc_class);
        v->params[1] = 9;
        return true;
    };
    edit_dialogs().change_what_line = [](VIEW*, int32_t* mask) {
        EXPECT_EQ(*mask, 31);
        *mask = 1;
        return true;
    };
    h.run(kCmdChangeLineStyle);
    const auto sel = refs_of(h.view()->selection);
    ASSERT_EQ(sel.size(), 2u);
    for (ZOBJ* o : sel) {
        auto* w = rtc_cast<WIRE>(o);
        EXPECT_FLOAT_EQ(w->width, 2.5f);
        EXPECT_EQ(w->line_style, dash);
        EXPECT_DOUBLE_EQ(w->curve_step, 3);
    }
    EXPECT_EQ(h.model()->undo_levels, 1);
}

TEST_F(PropertyTest, ChangeLayerUndoneAndRedone) {
    Harness h;
    define_edit_commands(h);
    auto made = rtc_make<LAYER>();
    LAYER* second = made.get();
    ASSERT_EQ(model_hook_add_layer_default(h.model(), made.release(), "Second"), 0);
    LAYER* first = scene_layer(h.model());
    EXPECT_EQ(buffer_add(h.view()->selection, line_at(h.model(), 0, 0)), 0);
    EXPECT_EQ(buffer_add(h.view()->selection, line_at(h.model(), 0, 20)), 0);
    LAYER* offered = nullptr;
    edit_dialogs().choose_layer = [&](VIEW*, LAYER* pre) {
        offered = pre;
        return second;
    };
    std::vector<GlimpseEvent> heard;
    auto hear = [](void* user, MODEL*, GlimpseEvent e, ZOBJ*) {
        static_cast<std::vector<GlimpseEvent>*>(user)->push_back(e);
    };
    EXPECT_EQ(glimpse_subscribe(h.model(), hear, &heard), 0);
    h.run(kCmdChangeLayer);
    glimpse_unsubscribe_model(h.model());
    EXPECT_EQ(offered, first);
    EXPECT_EQ(heard, (std::vector<GlimpseEvent>{GlimpseEvent::kViewportChanged}));
    auto in = [](LAYER* l) { return l->children ? 1 : 0; };
    EXPECT_EQ(in(first), 0);
    EXPECT_EQ(in(second), 1);
    EXPECT_EQ(h.model()->undo_levels, 1);
    model_undo(h.model());
    EXPECT_EQ(in(first), 1);
    EXPECT_EQ(in(second), 0);
    model_redo(h.model());
    EXPECT_EQ(in(first), 0);  // the redo puts them in the chosen layer again
    EXPECT_EQ(in(second), 1);
}

TEST_F(PropertyTest, CancelledAdjustCameraLeavesNoLevel) {
    Harness h;
    define_edit_commands(h);
    auto c = rtc_make<CAMERA>();
    c->position = {50, 50, 0};
    c->target = {60, 50, 0};
    c->up = {0, 0, 1};
    c->set_string(0, "Camera01");
    CAMERA* cam = scene_add(scene_layer(h.model()), c.release());
    const std::string before = dump_drawing(h.model());
    int shown = 0;
    edit_dialogs().camera_settings = [&](VIEW*, object* obj) {
        EXPECT_NE(obj, cam);  // the dialog edits a clone
        ++shown;
        static_cast<CAMERA*>(obj)->lens = 99;
        return false;
    };
    h.click({50, 50, 0}).esc();
    h.run(kCmdAdjustCamera);
    EXPECT_EQ(h.script_left(), 0u);
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(h.model()->undo_levels, 0);
    EXPECT_EQ(dump_drawing(h.model()), before);
    // Confirmed: one level with the edited clone.
    edit_dialogs().camera_settings = [](VIEW*, object* obj) {
        static_cast<CAMERA*>(obj)->lens = 99;
        return true;
    };
    h.click({50, 50, 0}).esc();
    h.run(kCmdAdjustCamera);
    EXPECT_EQ(h.model()->undo_levels, 1);
    auto* now = rtc_cast<CAMERA>(drawing_objects(h.model())[0]);
    ASSERT_NE(now, nullptr);
    EXPECT_DOUBLE_EQ(now->lens, 99);
}

TEST_F(PropertyTest, ChangeTextOnThreeTexts) {
    Harness h;
    define_edit_commands(h);
    std::vector<TEXT2*> texts;
    for (int i = 0; i < 3; ++i) {
        auto t = rtc_make<TEXT2>();
        t->text = "old";
        t->insert = {0, float(10 * i), 0};
        texts.push_back(scene_add(scene_layer(h.model()), t.release()));
        EXPECT_EQ(buffer_add(h.view()->selection, texts.back()), 0);
    }
    EXPECT_EQ(buffer_add(h.view()->selection, line_at(h.model(), 50, 50)),
              0);  // not a text: left alone
    edit_dialogs().line_style = [](VIEW*, const RtcClass* cls, StyleValues* v) {
        EXPECT_EQ(cls, &FONTPATT::rtc_class);
        EXPECT_STREQ(v->text, "old");
        std::strcpy(v->text, "new");
        return true;
    };
    h.run(kCmdChangeText);
    int changed = 0;
    for (object* o : drawing_objects(h.model()))
        if (auto* t = rtc_cast<TEXT2>(o)) changed += t->text == "new";
    EXPECT_EQ(changed, 3);
    EXPECT_EQ(h.model()->undo_levels, 1);
    model_undo(h.model());
    for (object* o : drawing_objects(h.model())) {
        if (auto* t = rtc_cast<TEXT2>(o)) {
            EXPECT_EQ(t->text, "old");
        }
    }
}

// Modify Text on a horizontal dimension 400 long, through the real dialog: it shows the
// value with the tolerances; "+0.1" typed as the upper tolerance changes that alone.
Harness* g_dim_harness = nullptr;
TEST_F(PropertyTest, ChangeTextOnADimensionEditsTheTextMeant) {
    Harness h;
    define_edit_commands(h);
    g_dim_harness = &h;
    dim_register_commands([](int id, DimCommandFn fn) { g_dim_harness->define(uint32_t(id), fn); });
    g_prefs.dimension = 1;  // the computed value, no text dialog
    h.view()->projection.scale = 0.5;
    h.click({20, 20, 0}).click({420, 20, 0}).click({220, 60, 0}).esc();
    h.run(kCmdDimFirst);
    ASSERT_EQ(drawing_objects(h.model()).size(), 1u);
    // "±0.1" as the dimension's text dialog stores it, in the font's code page.
    scene_children_of<TEXT2>(rtc_cast<CONTAINER>(drawing_objects(h.model())[0]))[2]->text = "\xB1" "0.1";
    auto texts = [&] {
        std::vector<std::pair<std::string, double>> out;
        for (TEXT2* t : scene_children_of<TEXT2>(rtc_cast<CONTAINER>(drawing_objects(h.model())[0])))
            out.emplace_back(t->text, t->layout[kText2Height]);
        return out;
    };
    const auto before = texts();
    ASSERT_TRUE(before.size() == 3 && before[0].first == "400.00" && before[0].second != before[1].second);
    EXPECT_EQ(buffer_add(h.view()->selection, drawing_objects(h.model())[0]), 0);
    edit_dialogs_install();
    platform_set_modal_hook([&](CDialog& d) {
        EXPECT_EQ(d.GetDlgItemText(kIdcFirst + 31), "400.00");
        EXPECT_NEAR(std::stod(d.GetDlgItemText(kIdcFirst + 17)), before[0].second, 1e-3);  // height
        d.SetDlgItemText(kIdcFirst + 33, "+0.1");
        d.press(IDOK);
    });
    h.run(kCmdChangeText);
    platform_set_modal_hook(nullptr);
    const auto after = texts();
    for (size_t i = 0; i < after.size(); ++i) {
        EXPECT_EQ(after[i].first, i == 1 ? "+0.1" : before[i].first);
        EXPECT_NEAR(after[i].second, before[i].second, 1e-9);  // the clone step's rounding
    }
    cmd_undo(h.view());
    EXPECT_EQ(texts(), before);
}

// Modify Text through the real dialog on texts holding bytes of their font's code
// page: the box shows the characters the font draws (byte 7 and 0xB0 the degree sign,
// 0xB1 plus-minus, Cyrillic letters in the Russian font) and an edit writes them back
// in that page; OK with nothing changed records nothing and keeps the bytes.
TEST_F(PropertyTest, ChangeTextShowsAndWritesTheFontsCodePage) {
    struct Case {
        bool cyrillic;
        std::string bytes, shown, typed, stored;
    };
    const Case cases[] = {
        {false, "45\x07 30'", "45\xC2\xB0 30'", "46\xC2\xB0 30'", "46\x07 30'"},
        {false, "\xB1" "0.2", "\xC2\xB1" "0.2", "\xC2\xB1" "0.3", "\xB1" "0.3"},
        {false, "45\xB0\xB1", "45\xC2\xB0\xC2\xB1", "45\xC2\xB0\xC2\xB1x", "45\xB0\xB1x"},
        {false, "\x80\x04" "5", "\xE2\x82\xAC\xE2\x8C\x80" "5", "\xE2\x82\xAC\xE2\x8C\x80" "6", "\x80\x04" "6"},
        {true, "\xCF\xF0\xE8 \xB0", "\xD0\x9F\xD1\x80\xD0\xB8 \xC2\xB0", "\xD0\x9F\xD1\x80\xD0\xB8 \xC2\xB0!",
         "\xCF\xF0\xE8 \xB0!"},
    };
    edit_dialogs_install();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shown);
        for (bool edit : {false, true}) {
            Harness h;
            define_edit_commands(h);
            FONTPATT* font = rtc_cast<FONTPATT>(model_find_patt(h.model(), "DEFAULT", &FONTPATT::rtc_class));
            ASSERT_NE(font, nullptr);
            if (c.cyrillic) {
                auto cyr = rtc_make<FONTPATT>();
                ASSERT_EQ(cyr->set_string(0, "Russian"), 0);
                cyr->font = font_copy(font_builtin(1));
                font = cyr.get();
                ASSERT_EQ(model_insert_patt(h.model(), cyr.release()), 1);
            }
            auto t = rtc_make<TEXT2>();
            t->text = c.bytes;
            t->font = font;
            TEXT2* text = scene_add(scene_layer(h.model()), t.release());
            ASSERT_EQ(buffer_add(h.view()->selection, text), 0);
            std::string shown;
            platform_set_modal_hook([&](CDialog& d) {
                shown = d.GetDlgItemText(kIdcFirst + 31);
                if (edit) d.SetDlgItemText(kIdcFirst + 31, c.typed);
                d.press(IDOK);
            });
            h.run(kCmdChangeText);
            platform_set_modal_hook(nullptr);
            EXPECT_EQ(shown, c.shown);
            const auto texts = scene_objects_of<TEXT2>(h.model());
            ASSERT_EQ(texts.size(), 1u);
            EXPECT_EQ(texts[0]->text, edit ? c.stored : c.bytes);
            EXPECT_EQ(h.model()->undo_levels, edit ? 1 : 0);
            EXPECT_EQ(texts[0] == text, !edit);  // nothing changed: the very same object
        }
    }
}

// A user's note of three lines grouped with a line is no dimension: a new height
// reaches every line.
TEST_F(PropertyTest, ChangeTextOnAGroupedNoteChangesEveryLine) {
    Harness h;
    define_edit_commands(h);
    auto* note = scene_add(scene_layer(h.model()), rtc_make<CONTAINER>().release());
    for (float y : {0.0f, -7.5f, -15.0f}) {
        auto t = rtc_make<TEXT2>();
        t->insert = {0, y, 0}, t->layout[kText2Height] = 5;
        scene_add(note, t.release());
    }
    scene_line(note, {{0, 10, 0}, {-20, 30, 0}});
    EXPECT_EQ(buffer_add(h.view()->selection, note), 0);
    edit_dialogs().line_style = [](VIEW*, const RtcClass*, StyleValues* v) { return v->params[3] = 7, true; };
    h.run(kCmdChangeText);
    for (TEXT2* t : scene_children_of<TEXT2>(rtc_cast<CONTAINER>(drawing_objects(h.model())[0])))
        EXPECT_EQ(t->layout[kText2Height], 7);
}

// A clone failing part way through Change 2D Text on the selection leaves the drawing,
// the history and the selection as they were.
int g_text_copies_left = 0;
int (*g_text_copy)(const RTC*, RTC*) = nullptr;
int text_copy_then_fail(const RTC* src, RTC* dst) {
    if (g_text_copies_left > 0 && --g_text_copies_left == 0) return kOutOfMemory;
    return g_text_copy(src, dst);
}

TEST_F(PropertyTest, AFailedChangeTextKeepsTheSelection) {
    Harness h;
    define_edit_commands(h);
    for (int i = 0; i < 3; ++i) {
        auto t = rtc_make<TEXT2>();
        t->text = "old";
        t->insert = {0, float(10 * i), 0};
        EXPECT_EQ(buffer_add(h.view()->selection, scene_add(scene_layer(h.model()), t.release())),
                  0);
    }
    EXPECT_EQ(buffer_add(h.view()->selection, line_at(h.model(), 50, 50)), 0);
    edit_dialogs().line_style = [](VIEW*, const RtcClass*, StyleValues* v) {
        std::strcpy(v->text, "new");
        return true;
    };
    const std::string before = dump_drawing(h.model());
    const auto selected = refs_of(h.view()->selection);
    // The selection is put back whole and in its order, without asking for memory.
    auto in_order = [](const buffer* b) {
        std::vector<ZOBJ*> v;
        for (const RefNode* n = b->refs; n; n = n->next)
            if (n->ref) v.push_back(n->ref);
        return v;
    };
    const auto order = in_order(h.view()->selection);
    g_text_copy = TEXT2::rtc_class.copy;
    g_text_copies_left = 3;
    TEXT2::rtc_class.copy = text_copy_then_fail;
    const int rc = h.run(kCmdChangeText);
    TEXT2::rtc_class.copy = g_text_copy;
    g_text_copies_left = 0;
    EXPECT_EQ(rc, kOutOfMemory);
    EXPECT_EQ(dump_drawing(h.model()), before);
    EXPECT_EQ(h.model()->undo_levels, 0);
    EXPECT_EQ(refs_of(h.view()->selection), selected);
    EXPECT_EQ(in_order(h.view()->selection), order);
}

}  // namespace
