// The Render command: the render sheet, a new image window and the render job that
// fills it, with the shell's side of the job (posting from the worker, busy flags,
// stopping on close).
#include "shell/image/render_window.h"

#include <QMdiArea>
#include <QMetaObject>
#include <QPointer>
#include <QScrollBar>
#include <QThread>
#include <QTimer>
#include <QCoreApplication>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "commands/edit/edit.h"
#include "dialogs/edit_dialogs.h"
#include "dialogs/render_pages.h"
#include "dialogs/texture_slot_editor.h"
#include "dialogs/xfile.h"
#include "graphics/view/view.h"
#include "model/db/find.h"
#include "model/db/glimpse_notify.h"
#include "model/db/naming.h"
#include "model/db/solid.h"
#include "model/db/track.h"
#include "model/db/tree.h"
#include "model/db/undo.h"
#include "graphics/view/view_host.h"
#include "model/geom/regen.h"
#include "model/services/log.h"
#include "model/services/msgbox.h"
#include "model/services/strtab.h"
#include "render/job/render_job.h"
#include "render/job/render_preview.h"
#include "render/raytrace/rt_render.h"
#include "shell/cmd_ids.h"
#include "shell/core/image_block.h"
#include "shell/drawing_doc.h"
#include "shell/image/image_frame.h"
#include "shell/image/imgdoc.h"
#include "shell/image/iview.h"
#include "shell/mainapp.h"
#include "shell/mainframe.h"
#include "shell/services.h"
#include "shell/sview.h"

namespace {

// One running job and the image window it fills. Lives on the user-interface thread;
// the worker only calls the sink methods, which copy and post.
class RenderRun : public QObject, public RenderJobSink {
  public:
    RenderRun(CImgFrame* frame, CDoc* drawing_doc) : frame_(frame), drawing_doc_(drawing_doc) {
        cancel_poll_.setInterval(50);
        QObject::connect(&cancel_poll_, &QTimer::timeout, this, [this] {
            if (frame_ && frame_->document()->cancel_requested()) job_.request_stop();
        });
    }
    static RenderRun* current;

    int start(RenderJobSetup setup) {
        setup.sink = this;
        CImgDoc* doc = frame_->document();
        doc->set_busy(true);
        const int rc = job_.start(setup);
        if (rc != 0) {
            doc->set_busy(false);
            return rc;
        }
        current = this;
        drawing_doc_->render_busy = true;
        if (CMainApp* app = CMainApp::instance()) app->SetBackgroundJob(&busy_word_, this);
        cancel_poll_.start();
        return 0;
    }

    // Worker thread: copies the rows and posts them.
    void rows(int32_t y0, int32_t y1, const uint8_t* rgb, int32_t width) override {
        std::vector<uint8_t> copy(rgb, rgb + static_cast<size_t>(y1 - y0 + 1) * width * 3);
        post([this, y0, y1, width, copy = std::move(copy)] { paint_rows(y0, y1, width, copy.data()); });
    }
    void caption(const std::string& text) override {
        post([this, text] {
            if (frame_) frame_->setWindowTitle(QString::fromStdString(text));
        });
    }
    void error(int code, const std::string& file) override { tell(render_job_failure_text(code, file)); }
    void error_text(int code, const std::string& text) override {
        tell(code == 8 ? render_job_failure_text(code, std::string()) : text);
    }
    void done(int result, const std::string& timing) override {
        post([this, result, timing] { end(result, timing); });
    }

    // User-interface thread: the job's end, once (from its last post or from a stop
    // and wait).
    void end(int result, const std::string& timing) {
        if (ended_) return;
        ended_ = true;
        cancel_poll_.stop();
        job_.finish();
        drawing_doc_->render_busy = false;
        if (CMainApp* app = CMainApp::instance()) app->SetBackgroundJob(&busy_word_, nullptr);
        if (current == this) current = nullptr;
        QPointer<CImgFrame> frame = frame_;
        if (frame) {
            frame->document()->set_busy(false);
            if (result == 0) {
                frame->document()->SetModifiedFlag(true);
                frame->view()->viewport()->update();
                frame->view()->job_message(std::make_unique<std::string>(timing), 1);
            }
            if (frame && frame->document()->cancel_requested()) frame->close();
        }
        deleteLater();
    }

    void stop_and_wait() {
        job_.request_stop();
        end(job_.finish(), std::string());
    }

  private:
    template <class F>
    void post(F&& f) {
        QMetaObject::invokeMethod(this, std::forward<F>(f), Qt::QueuedConnection);
    }

    // A failure for the user: at once when the start tells it (on this thread, before
    // any worker runs), else posted from the worker.
    void tell(const std::string& text) {
        if (QThread::currentThread() == QCoreApplication::instance()->thread())
            return (void)msgbox_printf(kStrIdError, "%s", text.c_str());
        post([text] { msgbox_printf(kStrIdError, "%s", text.c_str()); });
    }

    // Finished rows into the image document's padded BGR block, then a repaint of them.
    void paint_rows(int32_t y0, int32_t y1, int32_t width, const uint8_t* rgb) {
        if (!frame_) return;
        CImgDoc* doc = frame_->document();
        if (!doc->pixels() || width != doc->width() || y0 < 0 || y1 >= doc->height()) return;
        const size_t stride = static_cast<size_t>(image_block_row_pixels(width)) * 3;
        for (int32_t y = y0; y <= y1; ++y) {
            uint8_t* dst = doc->pixels() + static_cast<size_t>(y) * stride;
            const uint8_t* src = rgb + static_cast<size_t>(y - y0) * width * 3;
            for (int32_t x = 0; x < width; ++x) {
                dst[x * 3] = src[x * 3 + 2];
                dst[x * 3 + 1] = src[x * 3 + 1];
                dst[x * 3 + 2] = src[x * 3];
            }
        }
        CIView* v = frame_->view();
        const QPoint at = v->scroll_position();
        v->viewport()->update(QRect(0, y0 - at.y(), v->viewport()->width(), y1 - y0 + 1));
    }

    QPointer<CImgFrame> frame_;
    CDoc* drawing_doc_;
    RenderJob job_;
    QTimer cancel_poll_;
    int32_t busy_word_ = 0;
    bool ended_ = false;
};

RenderRun* RenderRun::current = nullptr;

// The drawing's cameras as the camera combo offers them.
std::vector<RenderCameraChoice> drawing_cameras(MODEL* model) {
    std::vector<RenderCameraChoice> out;
    if (!model) return out;
    for (ZOBJ* z = tree_next(model, model); z; z = tree_next(z, model))
        if (auto* cam = rtc_cast<CAMERA>(z)) out.push_back({cam->name(), cam->lens, object_frame_count(cam)});
    return out;
}

// The camera button: the settings of a copy of the named camera, which replaces it
// on OK, or of a new one that joins the drawing on OK; either with undo, and the
// drawing marked changed. Cancel leaves the drawing as it was.
bool camera_setup(VIEW* view, RenderCameraChoice* choice) {
    EditDialogs& d = edit_dialogs();
    MODEL* model = view_drawing(view);
    if (!d.camera_settings || !model) return false;
    CAMERA* old = choice->name.empty()
                      ? nullptr
                      : rtc_cast<CAMERA>(model_find_named(model, choice->name.c_str(), &CAMERA::rtc_class));
    std::unique_ptr<RTC> made;
    if (old) {
        if (rtc_clone(&made, old) != 0) made.reset();
    } else {
        made = rtc_make<CAMERA>();
        if (made && obj_default_name(model, static_cast<CAMERA*>(made.get()), 0, nullptr) != 0) made.reset();
    }
    if (!made) return false;
    auto* cam = static_cast<CAMERA*>(made.get());
    if (!d.camera_settings(view, cam)) return false;
    const int depth = edit_record_depth();
    int rc = 0;
    if (old) {
        CONTAINER* home = old->parent ? old->parent : model;
        rc = model_delete_object(old, depth, 1);
        if (rc != 0) return false;
        rc = model_add_object(home, cam, depth, 0);
    } else {
        rc = model_add_object(model, cam, depth, 1);
        if (rc != 0) return false;
    }
    if (rc != 0) {
        model_rollback(model);
        return false;
    }
    made.release();  // the drawing owns it
    rc = regen_object(cam);
    if (rc == 0) rc = obj_default_name(model, cam, 0, cam->name());  // a typed name stays unique
    obj_update_bbox(cam);
    if (rc != 0) {
        model_rollback(model);
        edit_trim_undo(model);
        return false;
    }
    edit_trim_undo(model);
    view_set_modified(view, 1);
    glimpse_notify_camera(model, cam);
    *choice = {cam->name(), cam->lens, object_frame_count(cam)};
    return true;
}

// The picker's colour: the material sheet's colour form, which loads no images.
bool choose_colour(int32_t* colour) {
    MaterialRecord m;
    int32_t index = *colour;
    CMaterialSheetDlg dlg(shell_main_window(), kDlgMaterialColour, &index, &m);
    if (dlg.DoModalHelp(0) != IDOK) return false;
    *colour = index;
    return true;
}

// A new image window of width x height, black, titled "<drawing> : <camera>".
CImgFrame* new_image_window(const std::string& title, int32_t width, int32_t height) {
    CMainApp* app = CMainApp::instance();
    if (!app) return nullptr;
    const size_t bytes = static_cast<size_t>(image_block_row_pixels(width)) * 3 * static_cast<size_t>(height);
    auto* block = new (std::nothrow) uint8_t[bytes];
    if (!block) return nullptr;
    std::memset(block, 0, bytes);
    auto doc = std::make_unique<CImgDoc>(app->image_template());
    doc->set_image(block, width, height);
    doc->set_title(title);
    auto* frame = new CImgFrame(std::move(doc));
    if (CMainFrame* main = app->main_frame()) main->mdi_area()->addSubWindow(frame);
    frame->show();
    frame->fit_to_image();
    return frame;
}

// A movie or frame-file output asks for its file (the chosen type sets the kind) and
// an AVI for its compressor; false when either is cancelled.
bool choose_output(RenderJobOptions* o) {
    if (!o->animation || o->output_kind == kOutputScreen) return true;
    std::string name = o->output;
    constexpr int kTypes[7] = {21, 26, 23, 12, 10, 6, 4};  // FLC, AVI, MPEG, TGA, JPEG, GIF, BMP
    // The Animation page's type comes preselected, so a bare name takes its extension.
    const int type = export_movie_dialog(&name, shell_main_window(), kTypes[o->output_kind - 1]);
    if (type < 0 || name.empty()) return false;
    for (int i = 0; i < 7; ++i)
        if (kTypes[i] == type) o->output_kind = i + 1;
    o->output = name;
    if (o->output_kind == kOutputAvi) {
        const int codec = choose_avi_compressor(shell_main_window(), o->avi_codec);
        if (codec < 0) return false;
        o->avi_codec = codec;
    }
    return true;
}

}  // namespace

int cmd_render(void* arg) {
    VIEW* view = arg ? *static_cast<VIEW**>(arg) : nullptr;
    auto* window = view ? dynamic_cast<CSView*>(view->window) : nullptr;
    MODEL* model = view ? view_drawing(view) : nullptr;
    if (!window || !model || RenderRun::current) return 0;

    RenderSettings settings;
    render_settings_read(*view, &settings);
    // The scene material is edited on a copy that goes back into the view with the
    // other settings; images it takes stay the sheet's until then.
    struct Release {
        MaterialRecord* m;
        ~Release() { material_init(m); }
    } release{&settings.material};
    if (material_copy(&settings.material, &view->material) != 0) {
        msgbox_ids(kStrIdError, 42040);
        return 8;
    }
    SheetPatterns patterns(model);
    RenderJobOptions options;
    render_job_options_read(*view, &options);
    static std::string last_output;  // the output name lives for the session
    options.output = last_output;
    const QSize client = window->viewport()->size();
    RenderPageHooks hooks;
    hooks.camera_setup = [view](RenderCameraChoice* c) { return camera_setup(view, c); };
    hooks.choose_colour = [](int32_t* colour) { return choose_colour(colour); };
    // While the sheet is open the drawing window looks through its camera.
    RenderPreviewer previewer(view, client.width(), client.height());
    auto redraw = [window] {
        window->InvalidateAll();
        window->update_now();
    };
    hooks.preview = [&](const RenderPreview& p) {
        RenderPreviewRequest r;
        r.camera_name = p.camera ? p.camera->name.c_str() : nullptr;
        r.perspective = p.perspective;
        r.perspective_value = p.perspective_value;
        r.selected_only = p.selected_only;
        r.frame = p.frame;
        r.force = p.force;
        if (previewer.show(r)) redraw();
    };
    const bool ok = run_render_sheet(shell_main_window(), &settings, &options, drawing_cameras(model),
                                     client.width(), client.height(), hooks, &patterns);
    if (previewer.restore()) redraw();
    if (!ok) return 0;
    CAMERA* named = rtc_cast<CAMERA>(model_find_named(model, options.camera_name.c_str(), &CAMERA::rtc_class));
    // A camera without frames renders one picture whatever the stored animation flag:
    // no movie to name then.
    if (render_job_animates(render_job_frame_count(model, named)) && !choose_output(&options)) return 0;
    if (material_copy(&view->material, &settings.material) != 0) {
        msgbox_ids(kStrIdError, 42040);
        return 8;
    }
    patterns.commit(view->material);
    render_settings_write(view, settings);
    render_job_options_write(view, options);
    last_output = options.output;

    // The job camera: a copy of the named camera, or a fresh one for the viewport.
    std::unique_ptr<RTC> camera;
    if (named) {
        if (rtc_clone(&camera, named) != 0) camera.reset();
        glimpse_notify_camera(model, named);
    } else if (const CAMERA* fitted = previewer.viewport_camera()) {
        // The camera the preview fitted to the viewport's meshes.
        if (rtc_clone(&camera, fitted) != 0) camera.reset();
    } else {
        camera = rtc_make<CAMERA>();  // made and initialised
    }
    if (!camera) {
        msgbox_ids(kStrIdError, 42040);
        return 8;
    }

    int32_t width = 0, height = 0;
    if (render_job_image_size(options, client.width(), client.height(), &width, &height) != 0) {
        msgbox_ids(kStrIdError, 42040);
        return 8;
    }
    const std::string title = window->document()->title() + " : " + options.camera_name;
    WaitCursor wait;
    CImgFrame* frame = new_image_window(title, width, height);
    if (!frame) {
        msgbox_ids(kStrIdError, 42040);
        return 8;
    }
    RenderJobSetup setup;
    setup.drawing = model;
    setup.view = view;
    setup.camera = static_cast<CAMERA*>(camera.get());
    setup.options = options;
    setup.client_width = client.width();
    setup.client_height = client.height();
    setup.title = title;
    setup.timing_label = res_load_string(42118);
    auto* run = new RenderRun(frame, window->document());
    const int rc = run->start(setup);  // the job copies the camera
    if (rc != 0) {
        // The job told its failure; the empty window goes.
        delete run;
        frame->close();
    }
    return rc;
}

void render_job_stop_and_wait() {
    if (RenderRun::current) RenderRun::current->stop_and_wait();
}

void render_command_install() {
    rt_install();
    CSView::SetCommandFunction(ID_RENDER, &cmd_render);
    mainframe_set_job_stopper(&render_job_stop_and_wait);
}
