// What the libraries below ask of the window side, filled once at start-up.
#pragma once

// Fills the hooks of the libraries below before the main window opens.
void install_window_side();
