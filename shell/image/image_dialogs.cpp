#include "shell/image/image_dialogs.h"

ImageWindowDialogs& image_window_dialogs() {
    static ImageWindowDialogs dialogs;
    return dialogs;
}
