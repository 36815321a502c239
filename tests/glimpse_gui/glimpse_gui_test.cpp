// The preview window in a real window system (run under xvfb-run, Mesa's software
// OpenGL): a drawing with a box, a sphere and two cameras opens in Glimpse; each
// camera gives its own picture; adding, deleting and undoing a mesh changes the
// picture; the view-point list switches cameras; Play steps the frames with the bar
// switched to playing, Stop returns to frame 0; the window closes with its drawing.
// With ZELO_SCREENSHOT_DIR set, the pictures are written there.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QGuiApplication>
#include <QMdiArea>
#include <QScreen>
#include <QTest>
#include <dlfcn.h>

#include <cmath>

#include "app/startup/window_side.h"
#include "tests/app/gui_main.h"
#include "tests/commands/scene_rings.h"
#include "../app/app_session.h"
#include "commands/model3d/draw3d_settings.h"
#include "commands/model3d/primitives.h"
#include "glpreview/glimpse_frame.h"
#include "glpreview/glimpse_view.h"
#include "model/db/naming.h"
#include "model/db/solid.h"
#include "model/db/track.h"
#include "model/db/tree.h"
#include "model/db/undo.h"
#include "model/services/prefs.h"
#include "platform/dialog.h"
#include "platform/modal.h"
#include "platform/msgqueue.h"
#include "model/services/profile.h"
#include "shell/drawing_doc.h"
#include "shell/mainapp.h"
#include "shell/mainframe.h"
#include "shell/mdiframe.h"
#include "shell/doc_template.h"
#include "shell/preview_bar.h"
#include "shell/sview.h"

namespace {

std::string g_dir;

void settle(int ms = 60) {
    for (int i = 0; i < 4; ++i) {
        msg_dispatch_pending();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QTest::qWait(ms / 4 + 1);
    }
}

MESH3* add_box(MODEL* m, Vec3 at, float size, const float rgb[3]) {
    ViewProjection vp;
    Vec3 corners[8];
    box_corners(vp, at, size, size, size, corners);
    std::unique_ptr<MESH3> mesh;
    EXPECT_EQ(box_mesh(corners, 63, &mesh), 0);
    for (int i = 0; i < 3; ++i) mesh->material->colour[i] = rgb[i];
    MESH3* raw = mesh.get();
    EXPECT_EQ(model_add_object(scene_layer(m), mesh.release(), -1, 1), 0);
    return raw;
}

MESH3* add_sphere(MODEL* m, Vec3 centre, double r) {
    ViewProjection vp;
    Draw3DSettings s;
    RevolveProfiles p;
    EXPECT_EQ(sphere_profiles(vp, centre, 0, r, s, &p), 0);
    std::unique_ptr<MESH3> mesh;
    EXPECT_EQ(revolve_profiles_mesh(p, 24, &mesh), 0);
    mesh->material->colour[0] = 0.9f, mesh->material->colour[1] = 0.3f, mesh->material->colour[2] = 0.2f;
    MESH3* raw = mesh.get();
    EXPECT_EQ(model_add_object(scene_layer(m), mesh.release(), -1, 1), 0);
    return raw;
}

void add_camera(MODEL* m, const char* name, Vec3 eye, Vec3 target) {
    auto cam = rtc_make<CAMERA>();
    ASSERT_EQ(obj_default_name(m, cam.get(), 0, name), 0);
    cam->position = eye;
    cam->target = target;
    cam->lens = 1.2;
    ASSERT_EQ(model_add_object(scene_layer(m), cam.release(), -1, 1), 0);
}

// Pixels of the picture that are not the background.
int covered(const QImage& img) {
    const QRgb bg = img.pixel(0, 0);
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) n += img.pixel(x, y) != bg;
    return n;
}

void save(const QImage& img, const char* name) {
    if (const char* out = getenv("ZELO_SCREENSHOT_DIR")) img.save(QString("%1/%2.png").arg(out, name));
}

class GlimpseGui : public ::testing::Test {
  protected:
    void SetUp() override {
        g_prefs.undo_mode = -1;
        app = std::make_unique<CMainApp>();
        ASSERT_TRUE(app_start(*app, ""));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(app->main_frame()));
        settle();
        view = app->main_frame()->active_view();
        ASSERT_NE(view, nullptr);
        model = view->document()->drawing();
        const float blue[3] = {0.2f, 0.4f, 0.9f};
        box = add_box(model, {0, 0, 0}, 40, blue);
        add_sphere(model, {80, 20, 20}, 25);
        add_camera(model, "Front", {20, -200, 60}, {40, 20, 20});
        add_camera(model, "Side", {300, 20, 40}, {40, 20, 20});
        // The box slides 60 along x over ten frames.
        KeyframeTrack* t = track_new("", box);
        ASSERT_NE(t, nullptr);
        t->next_track = box->tracks;
        box->tracks = t;
        t->position.keys = {{0, {0, 0, 0, 0, 0}, {0, 0, 0}}, {9, {0, 0, 0, 0, 0}, {60, 0, 0}}};
        model->frame_count = 10;
        model->current_frame = 0;
        settle();
    }
    void TearDown() override { app_session_end(app, [] { settle(); }); }
    CGlimpseFrame* open() {
        EXPECT_TRUE(app->main_frame()->route_update(15704).enabled);
        EXPECT_TRUE(app->main_frame()->route_command(15704));
        settle(200);
        for (QMdiSubWindow* w : app->main_frame()->mdi_area()->subWindowList())
            if (auto* g = dynamic_cast<CGlimpseFrame*>(w)) return g;
        return nullptr;
    }
    // The view's picture once the program has handled what is queued (grabbing
    // renders the frame itself).
    QImage picture(CGLimpseView* v) {
        msg_dispatch_pending();
        return v->grabFramebuffer();
    }
    std::unique_ptr<CMainApp> app;
    CSView* view = nullptr;
    MODEL* model = nullptr;
    MESH3* box = nullptr;
    QImage picture_at_frame0_;
};

TEST_F(GlimpseGui, CamerasChangesListAndPlayback) {
    CGlimpseFrame* f = open();
    ASSERT_NE(f, nullptr);
    CGLimpseView* v = f->view();
    f->resize(640, 480);
    settle(200);
    EXPECT_EQ(v->view_points(), (std::vector<std::string>{"Front", "Side"}));
    EXPECT_EQ(v->view_point(), "Front");
    EXPECT_EQ(f->bar()->view_points()->count(), 2);

    const QImage front = picture(v);
    save(front, "glimpse_front");
    save(app->main_frame()->grab().toImage(), "glimpse_window");
    const int front_px = covered(front);
    EXPECT_GT(front_px, 1000);
    // The list chooses the other camera: another picture.
    f->bar()->view_points()->setCurrentIndex(1);
    f->bar()->view_points()->activated(1);
    EXPECT_EQ(v->view_point(), "Side");
    const QImage side = picture(v);
    save(side, "glimpse_side");
    EXPECT_GT(covered(side), 1000);
    EXPECT_NE(side, front);

    // A mesh added, deleted and brought back by undo.
    v->SelectViewPoint("Front");
    const int before = covered(picture(v));
    const float green[3] = {0.2f, 0.8f, 0.3f};
    MESH3* extra = add_box(model, {-60, 0, 0}, 30, green);
    settle();
    const QImage added = picture(v);
    save(added, "glimpse_added");
    EXPECT_GT(covered(added), before);
    ASSERT_EQ(model_delete_object(extra, -1, 1), 0);
    settle();
    EXPECT_EQ(covered(picture(v)), before);
    model_undo(model);
    settle();
    EXPECT_EQ(covered(picture(v)), covered(added));
    model_redo(model);
    settle();

    picture_at_frame0_ = picture(v);
    // Playback: the bar switches, frames advance on a private copy, Stop is frame 0.
    const Vec3 box_vertex{box->blocks->vertices[0].x, box->blocks->vertices[0].y, box->blocks->vertices[0].z};
    f->command(32804);
    EXPECT_TRUE(v->playing());
    EXPECT_FALSE(f->bar()->action_of(32804)->isEnabled());
    EXPECT_TRUE(f->bar()->action_of(32806)->isEnabled());
    EXPECT_FALSE(f->bar()->view_points()->isEnabled());
    EXPECT_TRUE(QTest::qWaitFor([v] { return v->frame() >= 5; }, 5000));
    f->command(32805);  // Pause
    EXPECT_FALSE(v->playing());
    const int32_t paused = v->frame();
    EXPECT_GE(paused, 5);
    const QImage moved = picture(v);
    save(moved, "glimpse_playing");
    EXPECT_NE(moved, picture_at_frame0_);
    f->command(32808);  // Next
    EXPECT_EQ(v->frame(), (paused + 1) % 10);
    f->command(32807);  // Previous
    EXPECT_EQ(v->frame(), paused);
    f->command(32804);
    f->command(32806);  // Stop
    EXPECT_EQ(v->frame(), 0);
    EXPECT_FALSE(v->playing());
    EXPECT_TRUE(f->bar()->action_of(32804)->isEnabled());
    EXPECT_TRUE(f->bar()->view_points()->isEnabled());
    // The drawing was not changed by the playback.
    EXPECT_EQ(model->current_frame, 0);
    EXPECT_EQ(box->blocks->vertices[0].x, box_vertex.x);

    // Closing the drawing closes its preview.
    QPointer<CGlimpseFrame> alive(f);
    for (const auto& d : app->drawing_template()->documents()) d->SetModifiedFlag(false);
    view->frame()->close();
    EXPECT_TRUE(QTest::qWaitFor(
        [&alive] {
            settle(20);
            return alive.isNull();
        },
        10000));
}

// Edits made while the preview plays: the frames keep coming from the private copy
// (a mesh freed by the drawing is never read), and Stop shows the drawing as it is.
TEST_F(GlimpseGui, EditsWhilePlayingWaitForStopAndFreedMeshesAreNotRead) {
    CGlimpseFrame* f = open();
    ASSERT_NE(f, nullptr);
    CGLimpseView* v = f->view();
    f->resize(640, 480);
    settle(200);
    const QImage still = picture(v);
    const Vec3 box_vertex{box->blocks->vertices[0].x, box->blocks->vertices[0].y, box->blocks->vertices[0].z};
    f->command(32804);
    ASSERT_TRUE(v->playing());
    const float green[3] = {0.2f, 0.8f, 0.3f};
    MESH3* extra = add_box(model, {-60, 0, 0}, 30, green);
    settle();
    ASSERT_EQ(model_delete_object(box, -1, 1), 0);
    model_undo(model);  // the animated box comes back
    ASSERT_EQ(model_delete_object(extra, -1, 1), 0);
    model_undo_trim(model, 0);  // the deleted mesh is freed
    const int32_t at = v->frame();
    EXPECT_TRUE(QTest::qWaitFor([v, at] { return v->frame() != at && v->frame() >= 3; }, 5000));
    EXPECT_GT(covered(picture(v)), 1000);
    f->command(32806);
    EXPECT_FALSE(v->playing());
    const QImage after = picture(v);
    EXPECT_EQ(covered(after), covered(still));
    EXPECT_EQ(model->current_frame, 0);
    EXPECT_EQ(box->blocks->vertices[0].x, box_vertex.x);
}

// A preview takes its layer flags from the view it was opened from; once that view
// is closed, the preview keeps them and reads the view no more.
TEST_F(GlimpseGui, APreviewKeepsWhatItTookFromAClosedView) {
    ASSERT_FALSE(view->view()->layer_state.flags.empty());
    view->view()->layer_state.flags[0] = 0;  // the meshes' layer hidden in this view
    CGlimpseFrame* f = open();
    ASSERT_NE(f, nullptr);
    CGLimpseView* v = f->view();
    const size_t shown = v->scene().triangle_count();
    // Another window on the drawing shows every layer; the first one closes.
    CSView* other = app->CreateDrawingFrame(view->document(), nullptr, view->view());
    ASSERT_NE(other, nullptr);
    other->view()->layer_state.flags[0] = 1;
    view->frame()->close();
    settle();
    glimpse_notify_viewport(model);
    settle();
    EXPECT_EQ(v->scene().triangle_count(), shown);
}

// Glimpse opens inside a window area narrower than its own size (no scroll bars).
TEST_F(GlimpseGui, OpensInsideTheWindowArea) {
    QMdiArea* area = app->main_frame()->mdi_area();
    app->main_frame()->resize(900, 700);
    settle();
    ASSERT_LT(area->viewport()->width(), 640);
    CGlimpseFrame* f = open();
    ASSERT_NE(f, nullptr);
    if (const char* out = getenv("ZELO_SCREENSHOT_DIR"))
        QGuiApplication::primaryScreen()->grabWindow(0).save(QString("%1/glimpse_placed.png").arg(out));
    EXPECT_TRUE(QRect(QPoint(0, 0), area->viewport()->size()).contains(f->geometry()));
}

TEST_F(GlimpseGui, NewCameraJoinsTheDrawingAndTheList) {
    CGlimpseFrame* f = open();
    ASSERT_NE(f, nullptr);
    CGLimpseView* v = f->view();
    v->orbit(0.4, 0.1);
    v->dolly(0.8);
    const int levels = model->undo_levels;
    f->command(32787);
    EXPECT_EQ(model->undo_levels, levels + 1);
    EXPECT_EQ(v->view_points().size(), 3u);
    EXPECT_EQ(f->bar()->view_points()->count(), 3);
    EXPECT_EQ(v->view_point(), "Camera01");
    save(picture(v), "glimpse_new_camera");
}

TEST_F(GlimpseGui, PropertiesSetTheDetailAndKeepItInTheSettings) {
    CGlimpseFrame* f = open();
    ASSERT_NE(f, nullptr);
    CGLimpseView* v = f->view();
    const size_t full = v->scene().triangle_count();
    int boxes = 0;
    auto previous = platform_set_message_box_hook([&boxes](const MsgBoxRequest&, QWidget*) {
        ++boxes;
        return kIdOk;
    });
    for (const char* typed : {"0", "50"}) {
        platform_set_modal_hook([typed](CDialog& d) {
            d.SetDlgItemText(1101, typed);
            d.press(IDOK);
            if (!d.ended()) d.press(IDCANCEL);  // a refused value
        });
        f->command(32803);
    }
    platform_set_modal_hook(nullptr);
    platform_set_message_box_hook(previous);
    EXPECT_EQ(boxes, 1);  // 0 % is refused with the range message
    EXPECT_EQ(v->detail(), 50);
    EXPECT_LT(v->scene().triangle_count(), full);
    EXPECT_EQ(app_profile_get_int("GLimpse", "Detail", 0), 50);
    v->set_detail(100);
    EXPECT_EQ(v->scene().triangle_count(), full);
}

}  // namespace

int main(int argc, char** argv) {
    // The software OpenGL driver stays loaded to the end, so that the leak checker can
    // name what it keeps (lsan.supp beside this file).
    for (const char* name : {"swrast_dri.so", "kms_swrast_dri.so"}) {
        const std::string path = std::string("/usr/lib/x86_64-linux-gnu/dri/") + name;
        dlopen(path.c_str(), RTLD_NOW | RTLD_NODELETE);
    }
    return gui_test_main(argc, argv, "zelo_glimpse_gui_test", &g_dir);
}
