// The window side of the engine's services: installs the hooks through which engine
// code shows message boxes and the wait cursor, and keeps the main window that owns
// the boxes.
#pragma once

class QWidget;

// Installs the log, message-box and wait-cursor hooks (model/services/log.h,
// msgbox.h): log lines go to Qt's logging, boxes to the platform's message box
// owned by the main window, the wait cursor to every window; and the set-up of
// every dialog exchange (platform/dialog.h): the number format of the dialogs
// (shell/ddx.h) in the units of the drawing window in front.
// Call once at start-up, after the application object exists.
void shell_install_services();

// The main window, owner of every message box (null before it exists). Not owned.
void shell_set_main_window(QWidget* window);
QWidget* shell_main_window();

// Tells the user that an operation ran out of memory (std::bad_alloc caught around a
// command, an open or a save): the operation ends there and every drawing stays open.
void shell_tell_out_of_memory();

// A window's box in pixels.
struct WinBox {
    int x = 0, y = 0, width = 0, height = 0;
};

// mode 0: the window's frame rectangle in its parent's client coordinates (screen
// coordinates for a top-level window); 1: origin (0, 0) and the frame's size; 2:
// origin (0, 0) and the client area's size. Other modes, or a null window or box,
// leave the box unchanged.
void window_get_box(const QWidget* window, WinBox* box, int mode);
