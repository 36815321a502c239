// Two commands of the File menus that the image window library answers for the whole
// program: Open Image (32778), the image file dialog then an image window, and Print
// Setup (57606), the printer dialog choosing the printer (and its paper) that the
// next print of a drawing or an image uses.
#pragma once

#include <functional>

class QPrinter;
class QWidget;

// Installs both commands into the main frame's commands (always enabled).
void image_commands_install();

// Open Image: the image dialog ("Open Image", the image types; the chosen type is kept
// in the settings), then the file opens through the application in an image window.
// False when cancelled or when the file could not be opened (told by the document).
bool open_image_command();

// Print Setup: the printer dialog on the application's printer (image_printer()). A
// test hook answers in the dialog's place: it gets the printer, may change it and
// returns true for OK. True when the user confirmed.
bool print_setup_command(QWidget* parent);
void print_setup_set_dialog_hook(std::function<bool(QPrinter*)> hook);
