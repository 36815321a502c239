// The one-time start of the fuzz targets that read drawing files: errors only in the
// log, the drawing-file classes and the view classes (a drawing file holds views too)
// registered.
#pragma once

#include "graphics/view/view.h"
#include "model/file/records.h"
#include "model/services/log.h"

inline void fuzz_drawing_setup() {
    log_set_level(LogLevel::error);
    drawing_file_register();
    view_type_register();
}
