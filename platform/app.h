// Start-up of the window platform: the Qt application object and the numeric locale.
#pragma once

#include <memory>

class QApplication;

// Makes the application object and sets the C numeric locale right after it (Qt
// sets the locale of the desktop), so that printf-style numbers always use '.'.
// `argc` and `argv` must outlive the application. Also makes the dispatcher of
// the message queue, and ignores SIGXFSZ: a write beyond the file size limit then
// fails with EFBIG instead of ending the program. Call once, on the thread that
// becomes the user-interface thread.
std::unique_ptr<QApplication> platform_create_application(int& argc, char** argv);

// True on the user-interface thread (the thread of the application object); false
// when there is no application object yet.
bool platform_is_ui_thread();
