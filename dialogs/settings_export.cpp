// The drawing view's Export command: the export file dialog with the drawing's
// extents and visible area, then the writer of the chosen type under the wait
// cursor.
#include <cmath>

#include "commands/input/zoom.h"
#include "dialogs/settings_dialogs.h"
#include "dialogs/xfile.h"
#include "graphics/view/view.h"
#include "model/services/log.h"
#include "shell/drawing_doc.h"
#include "shell/sview.h"

// The writer (exchange side, see settings_install.cpp).
int export_view_to(VIEW* view, const std::string& path, int type);

void export_command(CSView* v) {
    VIEW* view = v->view();
    const BBox b = view_extents(view);
    const bool empty = !(b.max.x > b.min.x) || !(b.max.y > b.min.y);
    int w = 0, h = 0;
    view->window ? view->window->client_size(&w, &h) : void();
    const double scale = std::isfinite(view->projection.scale) && view->projection.scale > 0 ? view->projection.scale : 1;
    ExportRequest request;
    request.name = v->document()->title();
    if (!export_dialog(empty ? 0 : b.max.x - b.min.x, empty ? 0 : b.max.y - b.min.y, w / scale, h / scale, &request, v))
        return;
    wait_cursor_begin();
    export_view_to(view, request.name, request.type);
    wait_cursor_end();
}

bool choose_block_file(std::string* name, const char* pattern, bool save) {
    return save ? single_type_save_dialog(name, pattern) : load_text_dialog(name, pattern);
}
