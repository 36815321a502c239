// The Render command of the drawing view: runs the render sheet on the view's render
// settings, opens a new image window and starts a render job that fills it. The job's
// worker posts finished rows, captions, errors and its end to the user-interface
// thread; the window only paints rows that are done. Closing the image window stops
// the job; closing the main window stops it and waits for it.
#pragma once

class VIEW;

// The command: 0, 8 (out of memory, told) or the job start's code (told by the job).
// `arg` points to the VIEW* of the drawing view, as the command table hands it over.
[[nodiscard]] int cmd_render(void* arg);

// Puts the command into the drawing view's command table and the stop-and-wait into
// the main frame's close. Called once at start-up.
void render_command_install();

// Stops the running job (if any) and waits for it; its image window keeps the rows
// finished so far.
void render_job_stop_and_wait();
