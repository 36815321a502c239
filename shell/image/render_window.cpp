// The Render command: the render sheet (installed from the dialogs, see
// shell/image/image_dialogs.h), a new image window and the render job that fills it,
// with the shell's side of the job (posting from the worker, busy flags, stopping on
// close).
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

#include "graphics/view/view.h"
#include "graphics/view/view_host.h"
#include "model/db/find.h"
#include "model/db/glimpse_notify.h"
#include "model/db/naming.h"
#include "model/db/solid.h"
#include "model/db/track.h"
#include "model/db/tree.h"
#include "model/db/undo.h"
#include "model/geom/regen.h"
#include "model/math/result.h"
#include "model/services/log.h"
#include "model/services/msgbox.h"
#include "model/services/strtab.h"
#include "render/job/render_job.h"
#include "render/job/render_preview.h"
#include "resources/string_ids.h"
#include "shell/cmd_ids.h"
#include "shell/core/image_block.h"
#include "shell/drawing_doc.h"
#include "shell/image/image_dialogs.h"
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
        tell(code == kOutOfMemory ? render_job_failure_text(code, std::string()) : text);
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
        (void)job_.finish();  // its result came with done()
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

}  // namespace

int cmd_render(void* arg) {
    VIEW* view = arg ? *static_cast<VIEW**>(arg) : nullptr;
    auto* window = view ? dynamic_cast<CSView*>(view->window) : nullptr;
    MODEL* model = view ? view_drawing(view) : nullptr;
    if (!window || !model || RenderRun::current) return 0;

    const ImageWindowDialogs& dialogs = image_window_dialogs();
    if (!dialogs.render_sheet) return 0;
    const QSize client = window->viewport()->size();
    // While the sheet is open the drawing window looks through its camera.
    RenderPreviewer previewer(view, client.width(), client.height());
    RenderJobOptions options;
    const int sheet = dialogs.render_sheet(view, client.width(), client.height(), &previewer,
                                           [window] {
                                               window->InvalidateAll();
                                               window->update_now();
                                           },
                                           &options);
    if (sheet < 0) return 0;
    if (sheet != 0) return sheet;
    CAMERA* named = rtc_cast<CAMERA>(model_find_named(model, options.camera_name.c_str(), &CAMERA::rtc_class));
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
        msgbox_ids(kStrIdError, IDS_NO_MEMORY);
        return kOutOfMemory;
    }

    int32_t width = 0, height = 0;
    if (render_job_image_size(options, client.width(), client.height(), &width, &height) != 0) {
        msgbox_ids(kStrIdError, IDS_NO_MEMORY);
        return kOutOfMemory;
    }
    const std::string title = window->document()->title() + " : " + options.camera_name;
    WaitCursor wait;
    CImgFrame* frame = new_image_window(title, width, height);
    if (!frame) {
        msgbox_ids(kStrIdError, IDS_NO_MEMORY);
        return kOutOfMemory;
    }
    RenderJobSetup setup;
    setup.drawing = model;
    setup.view = view;
    setup.camera = static_cast<CAMERA*>(camera.get());
    setup.options = options;
    setup.client_width = client.width();
    setup.client_height = client.height();
    setup.title = title;
    setup.timing_label = res_load_string(IDS_RENDERING_TIME);
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
    CSView::SetCommandFunction(ID_RENDER, &cmd_render);
    mainframe_set_job_stopper(&render_job_stop_and_wait);
}
