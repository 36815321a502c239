// The Hide command: the Hide dialog on the active view, then the result drawing in a
// new window (or the message that tells why there is none).
#pragma once

// Command function of the drawing views (argument: pointer to the VIEW pointer).
[[nodiscard]] int cmd_hide(void* arg);
// Puts the command into the drawing views' command table.
void hide_command_install();
