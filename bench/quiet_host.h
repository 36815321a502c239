// A view host for benchmarks that drive one drawing's commands without a window
// system: prompts, read-outs, beeps, help, dialogs and window updates go nowhere,
// and a command is always running. The benchmark's host gives the drawing, the
// command view, the canvas and the next input step.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "graphics/view/view_host.h"

struct QuietViewHost : ViewHost {
    MODEL* next_drawing() override { return nullptr; }
    std::string doc_path(VIEW*) override { return {}; }
    void set_modified(VIEW*, int) override {}
    void doc_update_all(VIEW*) override {}
    int fill_layer_lists(VIEW*) override { return 0; }
    void status_prompt(int) override {}
    void readout_update(VIEW*, int) override {}
    void beep(int) override {}
    void help(uint32_t) override {}
    void post_code(int) override {}
    bool command_running() override { return true; }
    VIEW* set_command_view(VIEW* v) override { return v; }
    void show_cursor_mark(VIEW*, bool, bool) override {}
    void update_window(VIEW*) override {}
    bool input_pending() override { return false; }
    void update_scroll_bars(VIEW*) override {}
    bool typed_entry_dialog(VIEW*, int, uint32_t, char*, size_t) override { return false; }
    int method_dialog(VIEW*, uint32_t, const uint32_t*, int, int) override { return -1; }
};
