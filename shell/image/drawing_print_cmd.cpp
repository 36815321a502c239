// Page Setup, Print and Print Preview of drawing windows.
#include "shell/image/drawing_print_cmd.h"

#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <algorithm>

#include "commands/input/zoom.h"
#include "model/math/result.h"
#include "model/services/error_text.h"
#include "model/services/msgbox.h"
#include "model/services/strtab.h"
#include "platform/modal.h"
#include "resources/string_ids.h"
#include "shell/cmd_ids.h"
#include "shell/core/page_setup.h"
#include "shell/drawing_doc.h"
#include "shell/image/draw_page_setup_dlg.h"
#include "shell/image/drawing_print.h"
#include "shell/image/image_frame.h"
#include "shell/image/iview.h"
#include "shell/image/print_file.h"
#include "shell/sview.h"

namespace {

std::function<bool(QPrinter*)>& dialog_hook() {
    static std::function<bool(QPrinter*)> hook;
    return hook;
}

inline constexpr uint32_t kStrPrintFailed = IDS_PRINT_FAILED;             // "The drawing could not be printed."
inline constexpr uint32_t kStrImagePrintFailed = IDS_IMAGE_PRINT_FAILED;  // "The image could not be printed."
inline constexpr uint32_t kStrPagesOut = IDS_PRINT_PAGES_OUT;             // "%d of %d pages went to the printer."

// The view's layout with the printer's paper and minimum margins, the margins turned
// to the printer's orientation and raised to the minimum.
PrintLayout layout_for_printer(CSView* view, QPrinter* printer) {
    margins_follow_orientation(&view->print_layout.margins, &view->print_orientation, printer_orientation(printer));
    PrintLayout l = view->print_layout;
    const PageSetupModel page = page_setup_model_of(printer);
    l.paper_w = static_cast<int32_t>(page.paper_w);
    l.paper_h = static_cast<int32_t>(page.paper_h);
    l.minimum = page.minimum;
    l.margins.left = std::max(l.margins.left, l.minimum.left);
    l.margins.top = std::max(l.margins.top, l.minimum.top);
    l.margins.right = std::max(l.margins.right, l.minimum.right);
    l.margins.bottom = std::max(l.margins.bottom, l.minimum.bottom);
    return l;
}

// The drawing of the view's shown layers over an area, for printing and previews.
DrawingSource view_source(CSView* view, const double area[4]) {
    VIEW* v = view->view();
    MODEL* model = view->document() ? view->document()->drawing() : nullptr;
    return drawing_source_of(model, v->projection, area[0], area[1], area[2], area[3],
                             [v](int layer) { return view_layer_flag(v, layer) != 0; });
}

bool page_setup(CSView* view, QPrinter* printer) {
    double area[4], visible[4];
    if (!drawing_print_area_of(view, false, &area[0], &area[1], &area[2], &area[3]) ||
        !drawing_print_area_of(view, true, &visible[0], &visible[1], &visible[2], &visible[3]))
        return false;
    margins_follow_orientation(&view->print_layout.margins, &view->print_orientation, printer_orientation(printer));
    PageSetupModel page = page_setup_model_of(printer);
    const PrintLayout& l = view->print_layout;
    page.left = l.margins.left, page.top = l.margins.top, page.right = l.margins.right, page.bottom = l.margins.bottom;
    page.full_page = l.full_page;
    page.centre = l.centre;
    page.settle();
    PrintLayout edited = l;
    CDrawPageSetupDlg dlg(&edited, &page, area[0], area[1], area[2], area[3], view);
    dlg.set_drawing(visible, [view](const double a[4]) { return view_source(view, a); });
    if (dlg.DoModal() != IDOK) return false;
    edited.margins = page.margins();
    edited.minimum = page.minimum;
    edited.full_page = page.full_page;
    edited.centre = page.centre;
    view->print_layout = edited;
    // The margins belong to the orientation chosen, which the printer takes.
    view->print_orientation = dlg.landscape() ? kLandscape : kPortrait;
    printer->setPageOrientation(dlg.landscape() ? QPageLayout::Landscape : QPageLayout::Portrait);
    return true;
}

}  // namespace

// One message for a failed print; a print that stopped part way also says how many
// of its pages went out.
void print_tell_failure(int code, int64_t pages_out, int64_t pages, bool image) {
    const std::string failed = res_load_string(image ? kStrImagePrintFailed : kStrPrintFailed);
    if (code == kLayoutTooManyPages) {
        msgbox_printf(kStrIdWarning, res_load_string(IDS_PAGE_TOO_MANY).c_str(), static_cast<int>(kMaxPrintPages));
    } else if (code != 0 && pages > 0) {
        const std::string out = res_load_string(kStrPagesOut);
        msgbox_printf(kStrIdError, ("%s (%s)\n" + out).c_str(), failed.c_str(), error_code_text(code).c_str(),
                      static_cast<int>(pages_out), static_cast<int>(pages));
    } else if (code != 0) {
        msgbox_printf(kStrIdError, "%s (%s)", failed.c_str(), error_code_text(code).c_str());
    }
}

void drawing_print_set_dialog_hook(std::function<bool(QPrinter*)> hook) { dialog_hook() = std::move(hook); }

bool drawing_print_area(CSView* view, double* min_x, double* min_y, double* max_x, double* max_y) {
    return view && drawing_print_area_of(view, view->print_layout.visible_only != 0, min_x, min_y, max_x, max_y);
}

bool drawing_print_area_of(CSView* view, bool visible_only, double* min_x, double* min_y, double* max_x,
                           double* max_y) {
    VIEW* v = view ? view->view() : nullptr;
    if (!v) return false;
    int w = 1, h = 1;
    view->client_size(&w, &h);
    w = std::max(w, 1), h = std::max(h, 1);
    const ViewProjection& p = v->projection;
    if (p.mode == kProjPerspective) {
        // A camera view measures in its window's pixels: the whole picture, or the window.
        MODEL* model = view->document() ? view->document()->drawing() : nullptr;
        if (!visible_only &&
            drawing_picture_extents(model, p, [v](int layer) { return view_layer_flag(v, layer) != 0; }, min_x,
                                    min_y, max_x, max_y))
            return true;
        *min_x = 0, *min_y = 0, *max_x = w, *max_y = h;
        return true;
    }
    const BBox box = view_extents(v);
    if (!visible_only && box.min.x <= box.max.x && box.min.y <= box.max.y) {
        *min_x = box.min.x, *min_y = box.min.y, *max_x = box.max.x, *max_y = box.max.y;
        return true;
    }
    // What the window shows (also for a drawing without extents yet).
    *min_x = p.origin_x, *min_y = p.origin_y;
    *max_x = p.origin_x + w / p.scale;
    *max_y = p.origin_y + h / p.scale;
    return true;
}

int drawing_view_print(CSView* view, QPrinter* printer, int64_t* pages_out, int64_t* pages) {
    if (pages_out) *pages_out = 0;
    if (pages) *pages = 0;
    double area[4];
    if (!printer || !drawing_print_area(view, &area[0], &area[1], &area[2], &area[3])) return kBadArgument;
    MODEL* model = view->document() ? view->document()->drawing() : nullptr;
    if (!model) return kBadArgument;
    printer->setFullPage(true);
    PrintLayout l = layout_for_printer(view, printer);
    if (const int rc = print_layout_run(&l, area[0], area[1], area[2], area[3])) return rc;
    if (!l.tile) {
        // A fitted print lies where the page setup shows it: the margins close around
        // the printed area as that dialog closes them.
        print_layout_settle_margins(&l);
        if (const int rc = print_layout_run(&l, area[0], area[1], area[2], area[3])) return rc;
    }
    const DrawingSource source = view_source(view, area);
    if (pages) *pages = print_layout_pages(l);
    platform_wait_cursor(true);
    const int rc = print_drawing(printer, l, source, {}, pages_out);
    platform_wait_cursor(false);
    return rc;
}

bool drawing_view_command(CSView* view, int id) {
    QPrinter* printer = image_printer();
    if (!view || !printer) return false;
    switch (id) {
        case ID_FILE_PAGE_SETUP: return page_setup(view, printer);
        case ID_FILE_PRINT: {
            bool go = false;
            if (dialog_hook()) {
                go = dialog_hook()(printer);
            } else {
                QPrintDialog dlg(printer, view);
                go = dlg.exec() == QDialog::Accepted;
            }
            if (!go) return false;
            int64_t out = 0, pages = 0;
            const int rc = drawing_view_print(view, printer, &out, &pages);
            print_tell_failure(rc, out, pages);
            return rc == 0;
        }
        case ID_FILE_PRINT_PREVIEW: {
            // The layout is checked first: a preview of too many pages is refused.
            PrintLayout l = layout_for_printer(view, printer);
            double area[4];
            if (!drawing_print_area(view, &area[0], &area[1], &area[2], &area[3])) return false;
            if (const int rc = print_layout_run(&l, area[0], area[1], area[2], area[3])) {
                print_tell_failure(rc);
                return false;
            }
            QPrintPreviewDialog dlg(printer, view);
            // The preview's Print paints on the printer itself: a failure then is told.
            QObject::connect(&dlg, &QPrintPreviewDialog::paintRequested, view, [view](QPrinter* p) {
                int64_t out = 0, pages = 0;
                const int rc = drawing_view_print(view, p, &out, &pages);
                if (!print_is_preview(p)) print_tell_failure(rc, out, pages);
            });
            return dlg.exec() == QDialog::Accepted;
        }
        default: return false;
    }
}

void drawing_print_install() { CSView::SetPrintHandler(&drawing_view_command); }
