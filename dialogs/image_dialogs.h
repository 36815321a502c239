// The image windows' and the Render command's dialogs, installed into the image window
// library's hooks (shell/image/image_dialogs.h): the image file dialogs and the render
// sheet with its camera set-up, colour choice and movie output.
#pragma once

// Fills image_window_dialogs(). Called once at start-up.
void image_dialogs_install();
