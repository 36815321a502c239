// The Render command in a real window system (run under xvfb-run), as a new user
// tries it: a drawing with a box, a spot light and a camera over six frames; Render,
// the camera chosen, Animation to an FLC; the image window fills while the program
// stays responsive; ffprobe reads the movie. Then the same stopped by closing the
// image window, and by closing the main window.
#include <gtest/gtest.h>
#include <QApplication>
#include <QKeyEvent>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QRadioButton>
#include <QScreen>
#include <QSlider>
#include <QTest>
#include <array>
#include <atomic>
#include <cmath>
#include <deque>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include "../app/app_session.h"
#include "../scanline/scanline_test_util.h"
#include "app/startup/window_side.h"
#include "commands/edit/edit.h"
#include "commands/input/zoom.h"
#include "commands/model3d/model3d.h"
#include "dialogs/ask_string.h"
#include "dialogs/edit_dialogs.h"
#include "dialogs/render_pages.h"
#include "dialogs/scene_material_editor.h"
#include "dialogs/settings_dialogs.h"
#include "dialogs/texture_slot_editor.h"
#include "dialogs/typed_input.h"
#include "dialogs/xfile.h"
#include "graphics/view/projection.h"
#include "model/db/find.h"
#include "model/db/naming.h"
#include "model/db/patt.h"
#include "model/db/solid.h"
#include "model/db/track.h"
#include "model/db/tree.h"
#include "model/db/undo.h"
#include "model/file/drawing_file.h"
#include "model/services/prefs.h"
#include "model/services/profile.h"
#include "platform/app.h"
#include "platform/modal.h"
#include "platform/msgqueue.h"
#include "platform/prop_sheet.h"
#include "render/job/job_options.h"
#include "render/job/render_job.h"
#include "render/raytrace/rt_render.h"
#include "shell/cmd_ids.h"
#include "shell/drawing_doc.h"
#include "shell/image/image_frame.h"
#include "shell/image/imgdoc.h"
#include "shell/mainapp.h"
#include "shell/mainframe.h"
#include "shell/sview.h"
#include "tests/app/gui_main.h"
#include "tests/app/gui_steps.h"

namespace {

std::string g_dir;
std::vector<std::string> g_boxes;  // message box texts

std::string run(const std::string& cmd) {
    std::string out;
    if (FILE* p = popen(cmd.c_str(), "r")) {
        char buf[256];
        while (fgets(buf, sizeof buf, p)) out += buf;
        pclose(p);
    }
    return out;
}

// The drawing a user would have: a box, a spot light aimed at it and a camera, six
// frames long; saved as a drawing file.
std::string make_drawing() {
    TestScene scene;
    scene.add_box({-10, -10, 0}, {10, 10, 20});
    auto spot = rtc_make<SPOTLITE>();
    spot->position = {40, -30, 60};
    spot->target = {0, 0, 10};
    spot->light_colour[0] = spot->light_colour[1] = spot->light_colour[2] = 1.0f;
    spot->cone_cos[0] = 0.9f, spot->cone_cos[1] = 0.8f;
    EXPECT_EQ(container_insert(scene.layer, spot.release()), 0);
    auto cam = rtc_make<CAMERA>();
    cam->position = {60, -80, 50};
    cam->target = {0, 0, 10};
    cam->up = {0, 0, 1};
    cam->lens = 1.0;
    EXPECT_EQ(obj_default_name(scene.model.get(), cam.get(), 0, "Cam01"), 0);
    // The camera swings from the right to the left over frames 1 to 6.
    KeyframeTrack* track = track_new(nullptr, cam.get());
    EXPECT_NE(track, nullptr);
    track->position.keys = {PositionKey{0, {0, 0, 0, 0, 0}, {60, -80, 50}},
                            PositionKey{5, {0, 0, 0, 0, 0}, {-60, -80, 50}}};
    // A camera's own track works with its "target" track.
    KeyframeTrack* aim = track_new("target", cam.get());
    EXPECT_NE(aim, nullptr);
    aim->position.keys = {PositionKey{0, {0, 0, 0, 0, 0}, {0, 0, 10}}};
    track->next_track = aim;
    cam->tracks = track;
    EXPECT_EQ(container_insert(scene.layer, cam.release()), 0);
    const std::string path = g_dir + "/scene.qvm";
    EXPECT_EQ(drawing_file_save(path.c_str(), scene.model.get(), 0), 0);
    return path;
}

// The camera chosen in the Render page's combo, as a user picks it.
void choose_camera(CRenderPage* page, const char* name) {
    auto* combo = static_cast<QComboBox*>(page->GetDlgItem(2165));
    const int cam = combo->findText(name);
    ASSERT_GT(cam, 0);
    combo->setCurrentIndex(cam);
    combo->activated(cam);
}

// The Animation page shown, Animation on over frames 1 to 6.
CAnimatPage* animate_six_frames(CPropSheet* sheet) {
    EXPECT_TRUE(sheet->SetActivePage(1));
    auto* anim = static_cast<CAnimatPage*>(sheet->page(1));
    auto* check = static_cast<QCheckBox*>(anim->GetDlgItem(2171));
    EXPECT_TRUE(check->isEnabled());
    if (!check->isChecked()) check->click();
    static_cast<QLineEdit*>(anim->GetDlgItem(2169))->setText("1");
    static_cast<QLineEdit*>(anim->GetDlgItem(2170))->setText("6");
    EXPECT_TRUE(anim->UpdateData(true));
    return anim;
}

// The sheet as a user fills it: the camera, then Animation over all frames to an FLC.
int g_other_dialogs = 0;  // dialogs opened from the sheet (the camera settings)

void fill_sheet(CDialog& d) {
    auto* sheet = dynamic_cast<CPropSheet*>(&d);
    if (!sheet) {
        ++g_other_dialogs;
        d.press(IDOK);
        return;
    }
    auto* page = static_cast<CRenderPage*>(sheet->page(0));
    choose_camera(page, "Cam01");
    // The camera button opens the camera's settings.
    const int before = g_other_dialogs;
    page->press(2168);
    EXPECT_EQ(g_other_dialogs, before + 1);
    EXPECT_EQ(static_cast<QComboBox*>(page->GetDlgItem(2165))->currentText(), "Cam01");
    CAnimatPage* anim = animate_six_frames(sheet);
    static_cast<QRadioButton*>(anim->GetDlgItem(2359))->click();  // "&FLC"
    ASSERT_TRUE(anim->UpdateData(true));
    d.press(IDOK);
}

// A gate the job waits at (see hold_job_at and the frame hook below), opened by the
// test once it has seen what it waits for.
std::atomic<bool> g_gate{true};
void open_gate() {
    g_gate = true;
    g_gate.notify_all();
}

class RenderGui : public ::testing::Test {
  protected:
    void SetUp() override {
        g_boxes.clear();
        app = std::make_unique<CMainApp>();
        ASSERT_TRUE(app_start(*app, ""));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(app->main_frame()));
        ASSERT_NE(app->OpenDocumentFile(make_drawing()), nullptr);
        gui_flush();
        view = app->main_frame()->active_view();
        ASSERT_NE(view, nullptr);
        // A larger picture than the default, so a render is seen under way.
        RenderJobOptions o;
        render_job_options_read(*view->view(), &o);
        o.size_mode = 6;  // 640 x 480
        render_job_options_write(view->view(), o);
        view->view()->flags |= 0x40;  // anti-aliased: long enough to watch
        modal_ = platform_set_modal_hook([](CDialog& d) { fill_sheet(d); });
    }
    void TearDown() override {
        open_gate();  // a job held by a failed test goes on (or is stopped) below
        platform_set_modal_hook(modal_);
        xfile_set_test_hook(nullptr);
        app_session_end(app, &gui_flush);
        render_job_set_frame_hook(nullptr);  // no job runs now
    }
    // Render as from the menu, the movie saved as `movie`; the new image window.
    CImgFrame* render(const std::string& movie) {
        xfile_set_test_hook([movie](CXFile& x) {
            x.choose(movie, x.preselected_row());
            return true;
        });
        CCmdUI ui;
        ui.id = ID_RENDER;
        view->OnCmdMsg(ID_RENDER, &ui);
        EXPECT_TRUE(ui.enabled);
        view->OnCmdMsg(ID_RENDER, nullptr);
        auto* frame = dynamic_cast<CImgFrame*>(app->main_frame()->mdi_area()->activeSubWindow());
        EXPECT_NE(frame, nullptr);
        return frame;
    }
    bool render_enabled() {
        CCmdUI ui;
        ui.id = ID_RENDER;
        view->OnCmdMsg(ID_RENDER, &ui);
        return ui.enabled;
    }
    std::unique_ptr<CMainApp> app;
    CSView* view = nullptr;
    ModalDialogHook modal_;
};

TEST_F(RenderGui, AnimationToFlcFillsTheWindow) {
    const std::string movie = g_dir + "/fly.flc";
    // The job waits at frame 3 until the test has seen it under way.
    g_gate = false;
    render_job_set_frame_hook([](RenderJob&, int32_t f) {
        if (f == 2) g_gate.wait(false);
    });
    QPointer<CImgFrame> frame = render(movie);
    ASSERT_TRUE(frame);
    CImgDoc* doc = frame->document();
    EXPECT_TRUE(doc->busy());
    EXPECT_TRUE(view->document()->render_busy);
    EXPECT_NE(app->GetBackgroundJob(), nullptr);
    EXPECT_FALSE(render_enabled());  // one job at a time
    // Rows arrive while the user interface keeps running.
    ASSERT_TRUE(QTest::qWaitFor([&] { return frame->windowTitle().contains("#3"); }, 60000));
    EXPECT_TRUE(doc->busy());
    gui_screenshot("render_mid");
    open_gate();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !doc->busy(); }, 300000));
    gui_flush();
    EXPECT_FALSE(view->document()->render_busy);
    EXPECT_EQ(app->GetBackgroundJob(), nullptr);
    EXPECT_TRUE(render_enabled());
    EXPECT_EQ(view_drawing(view->view())->current_frame, -1);
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_EQ(g_boxes[0].rfind("Rendering time", 0), 0u) << g_boxes[0];
    EXPECT_TRUE(doc->IsModified());
    // The finished picture is not black: the box is lit.
    int lit = 0;
    for (int64_t i = 0; i < int64_t(doc->width()) * doc->height() * 3; ++i) lit += doc->pixels()[i] > 16;
    EXPECT_GT(lit, 1000);
    gui_screenshot("render_done");
    // Six frames and the ring frame, 640 x 480.
    EXPECT_EQ(run("ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                  "stream=codec_name,width,height,nb_read_frames -of csv=p=0 '" + movie + "'"),
              "flic,640,480,7\n");
}

// Holds the job at the start of `frame` (0-based) until a stop is asked, so a test
// acts mid-render however fast the machine renders.
void hold_job_at(int32_t frame) {
    render_job_set_frame_hook([frame](RenderJob& job, int32_t f) {
        if (f == frame) job.wait_for_stop();
    });
}

TEST_F(RenderGui, ClosingTheImageWindowStopsTheJob) {
    const std::string movie = g_dir + "/stopped.flc";
    hold_job_at(2);
    QPointer<CImgFrame> frame = render(movie);
    ASSERT_TRUE(frame);
    // The camera's OK in the sheet changed the drawing; the job itself must not.
    EXPECT_TRUE(view->document()->IsModified());
    view->document()->SetModifiedFlag(false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return frame->windowTitle().contains("#3"); }, 60000));
    EXPECT_TRUE(frame->document()->busy());  // held at frame 3
    frame->close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return frame.isNull(); }, 60000));
    gui_flush();
    EXPECT_EQ(app->GetBackgroundJob(), nullptr);
    EXPECT_FALSE(view->document()->render_busy);
    EXPECT_EQ(view_drawing(view->view())->current_frame, -1);
    EXPECT_TRUE(g_boxes.empty());  // a stop is no failure and has no timing
    EXPECT_TRUE(render_enabled());
    // The movie holds the frames finished before the stop and reads whole.
    const std::string probe = run("ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                                  "stream=codec_name,nb_read_frames -of csv=p=0 '" + movie + "'");
    // Frames 1 and 2 and the ring frame: the stopped frame 3 is never written.
    EXPECT_EQ(probe, "flic,3\n");
    EXPECT_FALSE(view->document()->IsModified());
}

TEST_F(RenderGui, ClosingTheMainWindowStopsAndWaits) {
    hold_job_at(1);
    QPointer<CImgFrame> frame = render(g_dir + "/main_close.flc");
    ASSERT_TRUE(frame);
    ASSERT_TRUE(QTest::qWaitFor([&] { return frame->windowTitle().contains("#2"); }, 60000));
    view->document()->SetModifiedFlag(false);
    app->main_frame()->close();
    EXPECT_EQ(app->GetBackgroundJob(), nullptr);
    gui_flush();
    EXPECT_TRUE(frame.isNull());
}

TEST_F(RenderGui, RayTracingRendersTheDrawingThroughItsCamera) {
    // The sheet as a user fills it for one ray-traced picture through Cam01.
    platform_set_modal_hook([](CDialog& d) {
        auto* sheet = dynamic_cast<CPropSheet*>(&d);
        if (!sheet) {
            d.press(IDOK);
            return;
        }
        auto* page = static_cast<CRenderPage*>(sheet->page(0));
        auto* combo = static_cast<QComboBox*>(page->GetDlgItem(2165));
        const int cam = combo->findText("Cam01");
        ASSERT_GT(cam, 0);
        combo->setCurrentIndex(cam);
        combo->activated(cam);
        static_cast<QRadioButton*>(page->GetDlgItem(2152))->click();  // "&Ray tracing"
        ASSERT_TRUE(sheet->SetActivePage(1));
        auto* anim = static_cast<CAnimatPage*>(sheet->page(1));
        auto* check = static_cast<QCheckBox*>(anim->GetDlgItem(2171));
        if (check->isChecked()) check->click();
        ASSERT_TRUE(anim->UpdateData(true));
        d.press(IDOK);
    });
    QPointer<CImgFrame> frame = render(g_dir + "/traced.flc");
    ASSERT_TRUE(frame);
    CImgDoc* doc = frame->document();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !doc->busy(); }, 300000));
    gui_flush();
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_EQ(g_boxes[0].rfind("Rendering time", 0), 0u) << g_boxes[0];
    EXPECT_TRUE(view->view()->flags & 0x8000);
    int lit = 0;
    for (int64_t i = 0; i < int64_t(doc->width()) * doc->height() * 3; ++i) lit += doc->pixels()[i] > 16;
    EXPECT_GT(lit, 1000);
    gui_screenshot("render_raytraced");
}

// The Animation page's preview: the drawing window looks through the chosen camera
// and plays its animation while the sheet is open; everything is back afterwards.
TEST_F(RenderGui, AnimationPreviewPlaysThroughTheCameraInTheDrawingWindow) {
    MODEL* model = view_drawing(view->view());
    const ViewProjection before = view->view()->projection;
    auto picture = [&] { return view->viewport()->grab().toImage(); };
    // The drawing window on the left, the sheet beside it, as a user would arrange them.
    for (QWidget* w = view; w; w = w->parentWidget())
        if (auto* sub = qobject_cast<QMdiSubWindow*>(w)) {
            sub->setGeometry(0, 0, 440, 470);
            sub->raise();
        }
    gui_flush();
    int checked = 0;
    platform_set_modal_hook([&](CDialog& d) {
        auto* sheet = dynamic_cast<CPropSheet*>(&d);
        if (!sheet) return d.press(IDOK);
        sheet->show();
        sheet->move(app->main_frame()->geometry().right() - sheet->width() - 10, 60);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(sheet));
        const QImage parallel = picture();
        choose_camera(static_cast<CRenderPage*>(sheet->page(0)), "Cam01");
        gui_flush();
        // Through the camera, at rest.
        EXPECT_EQ(view->view()->projection.mode, kProjPerspective);
        EXPECT_EQ(model->current_frame, -1);
        const QImage rest = picture();
        EXPECT_NE(rest, parallel);
        CAnimatPage* anim = animate_six_frames(sheet);
        // ">>" shows frame 2 of 6: the camera has moved.
        anim->press(2295);
        gui_flush();
        EXPECT_EQ(model->current_frame, 1);
        EXPECT_EQ(anim->GetDlgItemText(2173), "2");
        EXPECT_NE(picture(), rest);
        // ">" plays: the frames go round while the user interface runs.
        anim->press(2297);
        std::set<int> seen;
        (void)QTest::qWaitFor([&] {
            seen.insert(model->current_frame);
            return seen.size() >= 6;
        }, 5000);
        EXPECT_EQ(seen, (std::set<int>{0, 1, 2, 3, 4, 5}));
        gui_screenshot("render_preview_playing");
        // "&Stop": the picture stays.
        anim->press(2296);
        gui_flush();
        const int stopped = model->current_frame;
        QTest::qWait(100);
        EXPECT_EQ(model->current_frame, stopped);
        // The trackbar moved by key to its end shows the first frame at once.
        auto* track = static_cast<QSlider*>(anim->GetDlgItem(2293));
        track->triggerAction(QAbstractSlider::SliderToMinimum);
        gui_flush();
        EXPECT_EQ(model->current_frame, 0);
        EXPECT_EQ(anim->GetDlgItemText(2173), "1");
        ++checked;
        d.press(IDCANCEL);
    });
    const int windows = int(app->main_frame()->mdi_area()->subWindowList().size());
    view->OnCmdMsg(ID_RENDER, nullptr);
    gui_flush();
    EXPECT_EQ(checked, 1);
    // Cancelled: no render, and the drawing window looks as before.
    EXPECT_EQ(int(app->main_frame()->mdi_area()->subWindowList().size()), windows);
    EXPECT_EQ(model->current_frame, -1);
    EXPECT_EQ(view->view()->projection.mode, before.mode);
    EXPECT_EQ(view->view()->projection.origin_x, before.origin_x);
    EXPECT_EQ(view->view()->projection.scale, before.scale);
}

// The Scene page through the Render command: an image background and fog, set on the
// sheet's copy, reach the view (and the image the drawing) on OK only, and render.
// A 64 x 64 Targa running from red on the left to blue on the right; its path.
std::string write_sky() {
    const std::string sky = g_dir + "/sky.tga";
    std::vector<uint8_t> b = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 64, 0, 64, 0, 24, 0x20};
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) b.insert(b.end(), {uint8_t(x * 4), 40, uint8_t(255 - x * 4)});
    FILE* f = std::fopen(sky.c_str(), "wb");
    EXPECT_NE(f, nullptr);
    if (!f) return sky;
    std::fwrite(b.data(), 1, b.size(), f);
    std::fclose(f);
    return sky;
}

// Render with the Scene page set as a user sets it: the image `sky` as the background,
// a pale blue fog of visibility 0.7 and haze 0.4; then `button` on the sheet.
void render_with_sky_and_fog(CSView* view, const std::string& sky, int button) {
    using E = CSceneMaterialEditor;
    platform_set_modal_hook([&sky, button](CDialog& d) {
        auto* sheet = dynamic_cast<CPropSheet*>(&d);
        if (!sheet) return d.press(IDOK);
        ASSERT_TRUE(sheet->SetActivePage(2));
        CPropPage* page = sheet->page(2);
        for (int i = 0; i < 3; ++i)
            page->SetDlgItemText(E::kIdcFogColour + i, i == 2 ? "0.9" : "0.6");
        page->SetDlgItemText(E::kIdcFogVisibility, "0.7");
        page->SetDlgItemText(E::kIdcFogHaze, "0.4");
        auto* kind = static_cast<QComboBox*>(page->GetDlgItem(E::kIdcBackground + kSlotKind));
        kind->setCurrentIndex(kChoiceImage);
        kind->activated(kChoiceImage);  // the file dialog answers with the image
        EXPECT_EQ(page->GetDlgItemText(E::kIdcBackground + kSlotImageName), sky);
        d.press(button);
    });
    xfile_set_test_hook([&sky](CXFile& x) {
        x.choose(sky, x.preselected_row());
        return true;
    });
    view->OnCmdMsg(ID_RENDER, nullptr);
}

TEST_F(RenderGui, SceneBackgroundImageAndFogReachTheViewOnOkAndRender) {
    const std::string sky = write_sky();
    MODEL* model = view_drawing(view->view());
    const float blue_before = view->view()->second_material.colour[2];
    for (int button : {IDCANCEL, IDOK}) {
        SCOPED_TRACE(button);
        const int windows = app_window_count(app.get());
        render_with_sky_and_fog(view, sky, button);
        const MaterialRecord& m = view->view()->second_material;
        MATRPATT* image = static_cast<MATRPATT*>(model_find_patt(model, sky.c_str(), &MATRPATT::rtc_class));
        if (button == IDCANCEL) {
            gui_flush();
            EXPECT_EQ(app_window_count(app.get()), windows);
            EXPECT_EQ(m.slots[kSlotTexture].kind, kTextureNone);
            EXPECT_EQ(image, nullptr);
            EXPECT_FLOAT_EQ(m.colour[2], blue_before);
            continue;
        }
        EXPECT_EQ(m.slots[kSlotTexture].kind, kTextureImage);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(m.slots[kSlotTexture].mapping.image, image);
        EXPECT_FLOAT_EQ(m.slots[kSlotTexture].amount, 0.4f);
        EXPECT_FLOAT_EQ(m.slots[kSlotBump].amount, 0.7f);
        EXPECT_FLOAT_EQ(m.colour[2], 0.9f);
        auto* frame = dynamic_cast<CImgFrame*>(app->main_frame()->mdi_area()->activeSubWindow());
        ASSERT_NE(frame, nullptr);
        CImgDoc* doc = frame->document();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !doc->busy(); }, 300000));
        gui_flush();
        const int w = doc->width(), h = doc->height();
        const QImage picture(doc->pixels(), w, h, w * 3, QImage::Format_BGR888);
        if (const char* out = std::getenv("ZELO_SCREENSHOT_DIR"))
            picture.save(QString("%1/render_background_fog.png").arg(out));
        // The background is the image through the far fog: red on the left, blue on
        // the right, each mixed with the pale blue fog.
        const QColor left = picture.pixelColor(2, 2), right = picture.pixelColor(w - 3, 2);
        EXPECT_GT(left.red(), right.red());
        EXPECT_LT(left.blue(), right.blue());
        EXPECT_GT(left.green(), 40);  // the fog's colour mixed in
    }
}

// The sheet's camera button edits a copy of the camera: OK puts it in the drawing
// in the old one's place, undoably, and marks the drawing changed; Cancel changes
// nothing.
TEST_F(RenderGui, CameraButtonReplacesTheCameraWithUndo) {
    MODEL* model = view_drawing(view->view());
    auto cam01 = [&] { return rtc_cast<CAMERA>(model_find_named(model, "Cam01", &CAMERA::rtc_class)); };
    ASSERT_NE(cam01(), nullptr);
    const CAMERA* before = cam01();
    for (bool ok : {false, true}) {
        view->document()->SetModifiedFlag(false);
        platform_set_modal_hook([&](CDialog& d) {
            auto* sheet = dynamic_cast<CPropSheet*>(&d);
            if (!sheet) {  // the camera's settings: a longer lens
                static_cast<QLineEdit*>(d.GetDlgItem(kIdcFirst + 11))->setText("2");
                return d.press(ok ? IDOK : IDCANCEL);
            }
            auto* page = static_cast<CRenderPage*>(sheet->page(0));
            choose_camera(page, "Cam01");
            page->press(2168);
            EXPECT_EQ(static_cast<QComboBox*>(page->GetDlgItem(2165))->currentText(), "Cam01");
            EXPECT_EQ(page->GetDlgItemText(2162), ok ? "84" : "42");  // the lens's perspective value
            d.press(IDCANCEL);
        });
        view->OnCmdMsg(ID_RENDER, nullptr);
        gui_flush();
        ASSERT_NE(cam01(), nullptr);
        EXPECT_EQ(cam01()->lens, ok ? 2.0 : 1.0);
        EXPECT_EQ(view->document()->IsModified(), ok);
        EXPECT_EQ(cam01() == before, !ok);  // replaced, not edited in place
    }
    // Undo brings the old camera back.
    ASSERT_EQ(model_undo(model), 0);
    ASSERT_NE(cam01(), nullptr);
    EXPECT_EQ(cam01()->lens, 1.0);
    int cameras = 0;
    for (ZOBJ* z = tree_next(model, model); z; z = tree_next(z, model)) cameras += rtc_is<CAMERA>(z);
    EXPECT_EQ(cameras, 1);
}

// "&Animation" goes by the chosen camera's own frames: a camera without a track has
// none, however much else in the drawing moves.
TEST_F(RenderGui, AnimationIsAvailableOnlyForACameraThatMoves) {
    MODEL* model = view_drawing(view->view());
    auto still = rtc_make<CAMERA>();
    still->position = {0, -90, 30};
    still->target = {0, 0, 10};
    still->up = {0, 0, 1};
    still->lens = 1.0;
    EXPECT_EQ(obj_default_name(model, still.get(), 0, "Still01"), 0);
    EXPECT_EQ(container_insert(rtc_cast<LAYER>(model->first_child()), still.release()), 0);
    std::vector<std::pair<std::string, bool>> seen;
    platform_set_modal_hook([&](CDialog& d) {
        auto* sheet = dynamic_cast<CPropSheet*>(&d);
        if (!sheet) return d.press(IDOK);
        for (const char* name : {"Still01", "Cam01"}) {
            ASSERT_TRUE(sheet->SetActivePage(0));
            choose_camera(static_cast<CRenderPage*>(sheet->page(0)), name);
            ASSERT_TRUE(sheet->SetActivePage(1));
            seen.push_back({name, sheet->page(1)->GetDlgItem(2171)->isEnabled()});
        }
        d.press(IDCANCEL);
    });
    view->OnCmdMsg(ID_RENDER, nullptr);
    gui_flush();
    EXPECT_EQ(seen, (std::vector<std::pair<std::string, bool>>{{"Still01", false}, {"Cam01", true}}));
}

// The movie type chosen on the Animation page is the type written: the file dialog
// comes with it preselected (whatever type was used last), so a bare name takes its
// extension, and an AVI asks for its compressor.
TEST_F(RenderGui, TheAnimationPagesMovieTypeIsTheOneWritten) {
    g_prefs.export_movie = 21;  // FLC used last
    RenderJobOptions o;
    render_job_options_read(*view->view(), &o);
    o.size_mode = 8;  // 320 x 240, quick
    render_job_options_write(view->view(), o);
    view->view()->flags &= ~0x40;
    int compressor = 0;
    platform_set_modal_hook([&](CDialog& d) {
        auto* sheet = dynamic_cast<CPropSheet*>(&d);
        if (!sheet) {
            ++compressor;
            return d.press(IDOK);
        }
        choose_camera(static_cast<CRenderPage*>(sheet->page(0)), "Cam01");
        CAnimatPage* anim = animate_six_frames(sheet);
        static_cast<QRadioButton*>(anim->GetDlgItem(2360))->click();  // "&Windows AVI"
        ASSERT_TRUE(anim->UpdateData(true));
        d.press(IDOK);
    });
    const std::string bare = g_dir + "/movie";
    std::string preselected;
    xfile_set_test_hook([&](CXFile& x) {
        preselected = x.dialog()->nameFilters().value(x.preselected_row()).toStdString();
        x.choose(bare, x.preselected_row());
        return true;
    });
    view->OnCmdMsg(ID_RENDER, nullptr);
    auto* frame = dynamic_cast<CImgFrame*>(app->main_frame()->mdi_area()->activeSubWindow());
    ASSERT_NE(frame, nullptr);
    CImgDoc* doc = frame->document();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !doc->busy(); }, 300000));
    gui_flush();
    EXPECT_NE(preselected.find("*.avi"), std::string::npos) << preselected;
    EXPECT_EQ(compressor, 1);
    EXPECT_TRUE(std::filesystem::exists(bare + ".avi"));
    EXPECT_FALSE(std::filesystem::exists(bare + ".flc"));
}

TEST_F(RenderGui, AnUnwritableMovieIsToldAndNothingStarts) {
    const std::string movie = "/nonexistent-folder/fly.flc";
    xfile_set_test_hook([movie](CXFile& x) {
        x.choose(movie, x.preselected_row());
        return true;
    });
    const int windows = int(app->main_frame()->mdi_area()->subWindowList().size());
    view->OnCmdMsg(ID_RENDER, nullptr);
    gui_flush();
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_NE(g_boxes[0].find(movie), std::string::npos) << g_boxes[0];
    EXPECT_EQ(int(app->main_frame()->mdi_area()->subWindowList().size()), windows);
    EXPECT_EQ(app->GetBackgroundJob(), nullptr);
    EXPECT_FALSE(view->document()->render_busy);
    EXPECT_TRUE(render_enabled());
}

// ---- A session from an empty drawing to a render, through commands and dialogs only

// What the user types at the command steps, in order: a point or a number in the
// typed-entry dialog, or kEsc to end a command that asks again.
constexpr const char* kEsc = "<Esc>";
std::deque<std::string> g_typing;
CSView* g_typing_view = nullptr;

// The key the user presses for the next step: a digit opens the typed entry.
void press_next_key() {
    if (g_typing.empty() || !g_typing_view) return;
    const bool esc = g_typing.front() == kEsc;
    if (esc) g_typing.pop_front();
    QCoreApplication::postEvent(g_typing_view, new QKeyEvent(QEvent::KeyPress, esc ? Qt::Key_Escape : Qt::Key_1,
                                                             Qt::NoModifier, esc ? "\x1b" : "1"));
}

// Answers the typed-entry dialogs from g_typing (in drawing axes), then presses the
// key of the step after; every other dialog goes to `other`.
void answer_dialogs(std::function<void(CDialog&)> other) {
    platform_set_modal_hook([other](CDialog& d) {
        if (!dynamic_cast<CTypedEntryDlg*>(&d)) return other(d);
        ASSERT_FALSE(g_typing.empty());
        d.SetDlgItemText(kIdcTypedText, g_typing.front());
        if (d.GetDlgItem(kIdcCoordWorld)) d.CheckDlgButton(kIdcCoordWorld, true), d.CheckDlgButton(kIdcCoordUser, false);
        g_typing.pop_front();
        d.press(IDOK);
        EXPECT_TRUE(d.ended());
        press_next_key();
    });
}

// Runs command `id` in the view with the typed answers `typing`.
void run_typed(CSView* view, uint32_t id, std::deque<std::string> typing, std::function<void(CDialog&)> other) {
    g_typing = std::move(typing);
    g_typing_view = view;
    answer_dialogs(std::move(other));
    press_next_key();
    view->OnCmdMsg(int(id), nullptr);
    gui_flush();
    EXPECT_TRUE(g_typing.empty()) << id;
}

void press_ok(CDialog& d) { d.press(IDOK); }

void pick_combo(CDialog& d, int id, int row) {
    auto* box = static_cast<QComboBox*>(d.GetDlgItem(id));
    ASSERT_NE(box, nullptr);
    box->setCurrentIndex(row);
    box->activated(row);
}

// Render through the command: Phong with textures, the window's size, one picture.
QImage render_through_the_sheet(CMainApp* app, CSView* view) {
    platform_set_modal_hook([](CDialog& d) {
        auto* sheet = dynamic_cast<CPropSheet*>(&d);
        ASSERT_NE(sheet, nullptr);
        CPropPage* page = sheet->page(0);
        static_cast<QRadioButton*>(page->GetDlgItem(2153))->click();  // "&Phong"
        if (!page->IsDlgButtonChecked(2159)) static_cast<QCheckBox*>(page->GetDlgItem(2159))->click();
        if (page->IsDlgButtonChecked(2161)) static_cast<QCheckBox*>(page->GetDlgItem(2161))->click();
        pick_combo(*page, 2208, 1);  // "Window size"
        d.press(IDOK);
    });
    view->OnCmdMsg(ID_RENDER, nullptr);
    auto* frame = dynamic_cast<CImgFrame*>(app->main_frame()->mdi_area()->activeSubWindow());
    if (!frame) return {};
    CImgDoc* doc = frame->document();
    if (!QTest::qWaitFor([&] { return !doc->busy(); }, 300000)) return {};
    gui_flush();
    const int w = doc->width();
    return QImage(doc->pixels(), w, doc->height(), ((w + 3) / 4 * 4) * 3, QImage::Format_BGR888).copy();
}

// Mean and spread of the grey levels in a square of `r` pixels around (x, y).
std::pair<double, double> patch(const QImage& img, int x, int y, int r) {
    double sum = 0, sum2 = 0;
    int n = 0;
    for (int j = y - r; j <= y + r; ++j)
        for (int i = x - r; i <= x + r; ++i) {
            const double g = qGray(img.pixel(i, j));
            sum += g, sum2 += g * g, ++n;
        }
    const double mean = sum / n;
    return {mean, std::sqrt(std::max(0.0, sum2 / n - mean * mean))};
}

// The scene set on the Scene page is the render's, not the material new meshes take:
// a sky background and fog, OK, then a Box, which comes out plain.
TEST_F(RenderGui, SceneMaterialStaysOutOfNewMeshes) {
    MODEL* model = view_drawing(view->view());
    auto meshes = [model] {
        std::set<MESH3*> out;
        for (ZOBJ* z = tree_next(model, model); z; z = tree_next(z, model))
            if (auto* m = rtc_cast<MESH3>(z)) out.insert(m);
        return out;
    };
    const std::set<MESH3*> before = meshes();
    render_with_sky_and_fog(view, write_sky(), IDOK);
    auto* frame = dynamic_cast<CImgFrame*>(app->main_frame()->mdi_area()->activeSubWindow());
    ASSERT_NE(frame, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !frame->document()->busy(); }, 300000));
    gui_flush();
    EXPECT_EQ(view->view()->second_material.slots[kSlotTexture].kind, kTextureImage);
    const MaterialRecord& current = view->view()->material;
    EXPECT_EQ(current.slots[kSlotTexture].kind, kTextureNone);
    EXPECT_FLOAT_EQ(current.slots[kSlotBump].amount, 1.0f);

    run_typed(view, kCmdBox3D, {"-50,-50,-2", "100,100,2", kEsc}, press_ok);
    std::set<MESH3*> made = meshes();
    for (MESH3* m : before) made.erase(m);
    ASSERT_EQ(made.size(), 1u);
    const MaterialRecord& box = *(*made.begin())->material;
    EXPECT_EQ(box.slots[kSlotTexture].kind, kTextureNone);
    EXPECT_EQ(box.slots[kSlotTexture].mapping.image, nullptr);
    EXPECT_FLOAT_EQ(box.slots[kSlotBump].amount, 1.0f);
    EXPECT_FLOAT_EQ(box.slots[kSlotTexture].amount, 1.0f);
    g_typing_view = nullptr;
}

// Mean grey-level difference of two pictures over a square of `r` pixels around `at`.
double difference(const QImage& a, const QImage& b, QPoint at, int r) {
    double sum = 0;
    int n = 0;
    for (int j = at.y() - r; j <= at.y() + r; ++j)
        for (int i = at.x() - r; i <= at.x() + r; ++i, ++n) sum += std::abs(qGray(a.pixel(i, j)) - qGray(b.pixel(i, j)));
    return sum / n;
}

TEST(RenderSession, FromAnEmptyDrawingToATexturedBumpedReflectiveShadowedRender) {
    auto app = std::make_unique<CMainApp>();
    ASSERT_TRUE(app_start(*app, ""));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(app->main_frame()));
    gui_flush();
    CSView* view = app->main_frame()->active_view();
    ASSERT_NE(view, nullptr);
    const int material_pref = g_prefs.material;
    // Preferences: the whole material in the sheet.
    platform_set_modal_hook([](CDialog& d) {
        CPropPage* page = static_cast<CPropSheet&>(d).page(0);
        if (!page->IsDlgButtonChecked(kIdcSet + 6)) static_cast<QCheckBox*>(page->GetDlgItem(kIdcSet + 6))->click();
        d.press(IDOK);
    });
    app->main_frame()->OnCmdMsg(ID_PREFERENCES, nullptr);
    ASSERT_EQ(g_prefs.material, 1);
    // A floor, a ball above it, and a spot light low on the right aimed at the ball.
    run_typed(view, kCmdBox3D, {"-50,-50,-2", "100,100,2", kEsc}, press_ok);
    run_typed(view, kCmdSphere, {"0,0,15", "10", kEsc}, press_ok);
    run_typed(view, kCmdSpotLight, {"60,0,40", "0,0,15", kEsc}, [](CDialog& d) {
        d.SetDlgItemText(kIdcFirst + 15, "40");  // hot spot and fall-off, degrees
        d.SetDlgItemText(kIdcFirst + 17, "45");
        d.press(IDOK);
    });
    view->OnCmdMsg(ID_ZOOM_ALL, nullptr);
    gui_flush();
    const QImage plain = render_through_the_sheet(app.get(), view);
    ASSERT_FALSE(plain.isNull());

    // The floor and the ball selected by a window, then Change Colour Material: a
    // marble texture, with or without a bump map and a reflection map.
    auto change_material = [view](bool bump, bool reflection) {
        run_typed(view, kCmdSelect, {"-55,-55,0", "55,55,0", kEsc}, [](CDialog& d) {
            static_cast<QRadioButton*>(d.GetDlgItem(kIdcFirst + 2))->click();  // "&Window"
            d.press(IDOK);
        });
        int sheets = 0;
        run_typed(view, kCmdChangeMaterial, {}, [&](CDialog& d) {
            if (d.template_id() != kDlgMaterial) {  // "Change What?": everything
                for (const auto& [id, w] : d.controls())
                    if (auto* c = qobject_cast<QCheckBox*>(w)) c->setChecked(true);
                return d.press(IDOK);
            }
            ++sheets;
            const int first = CMaterialSheetDlg::kIdcSlotFirst;
            const int presets[3] = {7, 0, 0};  // "Marble: White", the first bump and reflection maps
            const bool on[3] = {true, bump, reflection};
            for (int slot = 0; slot < 3; ++slot) {
                pick_combo(d, first + 30 * slot + kSlotKind, on[slot] ? kChoiceProcedural : kChoiceNone);
                if (!on[slot]) continue;
                pick_combo(d, first + 30 * slot + kSlotPreset, presets[slot]);
                d.SetDlgItemText(first + 30 * slot + kSlotAmount, "100");
            }
            d.press(IDOK);
        });
        EXPECT_EQ(sheets, 1);
    };
    MODEL* model = view_drawing(view->view());
    auto slot_kinds = [model] {
        std::vector<std::array<int32_t, 3>> kinds;
        for (ZOBJ* z = tree_next(model, model); z; z = tree_next(z, model))
            if (auto* m = rtc_cast<MESH3>(z))
                kinds.push_back({m->material->slots[0].kind, m->material->slots[1].kind, m->material->slots[2].kind});
        return kinds;
    };
    change_material(true, true);
    // Both meshes hold the three procedural slots the sheet set.
    const std::array<int32_t, 3> all = {11, 2, 8};  // marble, "Bumps", "Spotted" as the reflection map
    EXPECT_EQ(slot_kinds(), (std::vector<std::array<int32_t, 3>>{all, all}));
    const QImage detailed = render_through_the_sheet(app.get(), view);
    ASSERT_FALSE(detailed.isNull());
    ASSERT_EQ(detailed.size(), plain.size());
    if (const char* out = std::getenv("ZELO_SCREENSHOT_DIR")) {
        plain.save(QString("%1/render_session_plain.png").arg(out));
        detailed.save(QString("%1/render_session_detailed.png").arg(out));
    }
    // The same without the bump map, then without the reflection map too.
    change_material(false, true);
    const QImage no_bump = render_through_the_sheet(app.get(), view);
    change_material(false, false);
    const QImage textured = render_through_the_sheet(app.get(), view);
    ASSERT_EQ(no_bump.size(), plain.size());
    ASSERT_EQ(textured.size(), plain.size());

    // Where things are in the picture: the view's own projection (rows downward).
    const ViewProjection& vp = view->view()->projection;
    auto at = [&](double x, double y, double z) {
        int px = 0, py = 0;
        world_to_pixel(&vp, Vec3{float(x), float(y), float(z)}, &px, &py);
        return QPoint(px, plain.height() - 1 - py);
    };
    // The ball's shadow falls on the floor away from the light: the line from the light
    // through the ball's centre meets the floor at x = -36.
    const QPoint shadow = at(-36, 0, 0), lit = at(-36, 25, 0), floor = at(-25, -30, 0), ball = at(0, 0, 25);
    for (const QImage* img : {&plain, &detailed}) {
        EXPECT_LT(patch(*img, shadow.x(), shadow.y(), 2).first, 0.6 * patch(*img, lit.x(), lit.y(), 2).first);
    }
    // The marble varies across the floor where the plain floor is even.
    EXPECT_LT(patch(plain, floor.x(), floor.y(), 6).second, 3.0);
    EXPECT_GT(patch(textured, floor.x(), floor.y(), 6).second, 6.0);
    // The bump map and the reflection map each change the lit floor and the ball.
    for (QPoint p : {floor, ball}) {
        EXPECT_GT(difference(detailed, no_bump, p, 6), 8.0);
        EXPECT_GT(difference(no_bump, textured, p, 6), 8.0);
    }

    g_prefs.material = material_pref;
    platform_set_modal_hook(nullptr);
    g_typing_view = nullptr;
    app_session_end(app, &gui_flush);
}

}  // namespace

int main(int argc, char** argv) {
    return gui_test_main(argc, argv, "zelo_render_gui", &g_dir, [] {
        platform_set_message_box_hook([](const MsgBoxRequest& b, QWidget*) {
            g_boxes.push_back(b.text);
            return kIdOk;
        });
    });
}
