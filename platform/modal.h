// Message boxes, the beep and the wait cursor of the window platform, each with a
// test hook so that a test answers instead of a user and nothing blocks.
#pragma once

#include <functional>

#include "model/services/msgbox.h"

class QWidget;

// Answers a box instead of showing it; gets the box and its owner (may be null).
using PlatformMessageBoxHook = std::function<int(const MsgBoxRequest& box, QWidget* owner)>;
PlatformMessageBoxHook platform_set_message_box_hook(PlatformMessageBoxHook hook);

// Shows a modal box owned by `owner` (null: none): the icon and buttons from the
// style (kMbIcon*, kMbOk or kMbYesNo ...), the text with its line feeds, the
// caption. Returns the answer (kIdOk, kIdYes, kIdNo, kIdCancel ...). Called off the
// user-interface thread, the box is logged and answered OK, No or Cancel.
int platform_message_box(QWidget* owner, const MsgBoxRequest& box);

// The system beep; a test hook replaces it.
using BeepHook = std::function<void()>;
BeepHook platform_set_beep_hook(BeepHook hook);
void platform_beep();

// Shows (true) or restores (false) the wait cursor over every window. Calls from
// other threads are handed to the user-interface thread.
void platform_wait_cursor(bool show);
