// The dialogs the image windows and the Render command open. They live in the dialogs
// library, which sits above this one, so the program installs them at start-up
// (image_dialogs_install in dialogs/image_dialogs.h). An entry left empty answers
// Cancel.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

class QWidget;
class RenderPreviewer;
class VIEW;
struct RenderJobOptions;

struct ImageWindowDialogs {
    // The image file dialog: the chosen type's row, -1 on cancel. An open dialog
    // empties `name`; a save dialog starts from it.
    int (*image_file)(std::string* name, bool open, QWidget* parent) = nullptr;
    // A save dialog for one type (`pattern` such as "*.tga"); false on cancel.
    bool (*single_type_save)(std::string* name, const char* pattern, QWidget* parent) = nullptr;
    // The Render command's sheet over `view`'s render settings and job options, its
    // preview through `previewer` (shown in the drawing window by `redraw`). On OK the
    // settings go back into the view, a movie's output file has been asked for, and
    // `options` holds the job's options: 0. Cancel: -1. A failure is told: 8.
    int (*render_sheet)(VIEW* view, int32_t client_width, int32_t client_height, RenderPreviewer* previewer,
                        const std::function<void()>& redraw, RenderJobOptions* options) = nullptr;
};

ImageWindowDialogs& image_window_dialogs();
