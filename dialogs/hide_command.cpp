// The Hide command (declared in hide_command.h).
#include "dialogs/hide_command.h"

#include <QTimer>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "commands/input/zoom.h"
#include "dialogs/hide_dialog.h"
#include "graphics/view/view.h"
#include "model/db/find.h"
#include "model/db/solid.h"
#include "model/db/tree.h"
#include "model/math/result.h"
#include "model/services/log.h"
#include "model/services/msgbox.h"
#include "model/services/prefs.h"
#include "model/services/profile.h"
#include "model/services/strtab.h"
#include "resources/string_ids.h"
#include "shell/cmd_ids.h"
#include "shell/drawing_doc.h"
#include "shell/mainapp.h"
#include "shell/services.h"
#include "shell/sview.h"

namespace {

constexpr uint32_t kStrNoMemory = IDS_NO_MEMORY, kStrNothingHides = IDS_NOTHING_HIDES,
                   kStrCancelled = IDS_OPERARION_CANCELED_BY_USER;
constexpr uint32_t kStrBadCamera = IDS_HIDE_BAD_CAMERA, kStrWrongTriangle = IDS_HIDE_WRONG_TRIANGLE;

bool g_keep_hidden = false;  // for the session

std::vector<CAMERA*> drawing_cameras(MODEL* model) {
    std::vector<CAMERA*> out;
    for (ZOBJ* z = tree_next(model, model); z; z = tree_next(z, model))
        if (auto* cam = rtc_cast<CAMERA>(z)) out.push_back(cam);
    return out;
}

void store_settings(const HideChoice& c) {
    g_prefs.hide_hsize = c.width;
    g_prefs.hide_vsize = c.height;
    g_prefs.hide_linear = c.linear;
    g_prefs.hide_angular = c.angular;
    app_profile_put_double("Hide", "Hsize", c.width);
    app_profile_put_double("Hide", "Vsize", c.height);
    app_profile_put_double("Hide", "Linear", c.linear);
    app_profile_put_double("Hide", "Angular", c.angular);
    g_keep_hidden = c.keep_hidden;
}

// The result drawing in a new window: lines moved in, extents, zoomed to all, modified.
bool show_result(MODEL* result) {
    CMainApp* app = CMainApp::instance();
    CDoc* doc = app ? app->NewDrawing() : nullptr;
    if (!doc || !doc->drawing()) return false;
    if (hide_result_adopt(result, doc->drawing()) != 0) return false;
    for (CSView* v : doc->views()) {
        view_zoom_all(v->view());
        // Again once the new window has its size.
        QTimer::singleShot(0, v, [v] {
            view_zoom_all(v->view());
            v->viewport()->update();
        });
    }
    doc->drawing()->set_modified(1);
    doc->UpdateAllViews();
    return true;
}

int64_t line_count(const HideJob& job) {
    return job.lines_visible + job.lines_hidden;
}

}  // namespace

int cmd_hide(void* arg) {
    VIEW* view = arg ? *static_cast<VIEW**>(arg) : nullptr;
    MODEL* model = view ? view_drawing(view) : nullptr;
    if (!view || !model) return 0;
    std::vector<CAMERA*> cameras = drawing_cameras(model);
    std::vector<std::string> names;
    for (const CAMERA* c : cameras) names.push_back(c->name());

    std::unique_ptr<MODEL> result;
    HideJob job;
    HideChoice initial;
    initial.width = g_prefs.hide_hsize, initial.height = g_prefs.hide_vsize;
    initial.linear = g_prefs.hide_linear, initial.angular = g_prefs.hide_angular;
    initial.keep_hidden = g_keep_hidden;
    CHideDlg dlg(shell_main_window(), names, initial, [&](const HideChoice& c) -> HideJob* {
        store_settings(c);
        result = rtc_make<MODEL>();
        if (!result) return nullptr;
        job.source = view;
        job.drawing = model;
        job.result_drawing = result.get();
        job.camera = c.camera >= 0 && c.camera < int(cameras.size()) ? cameras[c.camera] : nullptr;
        job.settings.width = c.width;
        job.settings.height = c.height;
        job.settings.linear = c.linear;
        job.settings.angular = c.angular * M_PI / 180.0;
        if (hide_job_layers(&job, c.keep_hidden) != 0) {
            msgbox_ids(kStrIdError, kStrNoMemory);
            return nullptr;
        }
        return &job;
    });
    dlg.DoModalHelp(0);
    if (!dlg.started()) return 0;
    dlg.wait_worker();
    if (job.counts.wrong_triangles > 0) msgbox_ids(kStrIdError, kStrWrongTriangle);
    switch (job.result) {
        case 0:
            break;
        case kHideNoMemory:
            msgbox_ids(kStrIdError, kStrNoMemory);
            return kOutOfMemory;
        case kHideNothing:
        case kHideDeclined:
            msgbox_ids(0, kStrNothingHides);
            return 0;
        case kHideCancelled:
            msgbox_ids(0, kStrCancelled);
            if (line_count(job) == 0) return 0;
            break;  // the lines made so far are shown
        default:
            msgbox_ids(kStrIdError, kStrBadCamera);
            return 0;
    }
    if (!show_result(result.get())) {
        msgbox_ids(kStrIdError, kStrNoMemory);
        return kOutOfMemory;
    }
    log_message(LogLevel::info, "hidden lines: %lld visible, %lld hidden", static_cast<long long>(job.lines_visible),
                static_cast<long long>(job.lines_hidden));
    return 0;
}

void hide_command_install() {
    CSView::SetCommandFunction(ID_HIDE, &cmd_hide);
}
