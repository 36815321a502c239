// The view services of the running application: the engine's ViewHost answered by
// the documents, drawing views, main frame and command processor.
#pragma once

#include "graphics/view/input_gate.h"
#include "graphics/view/view_host.h"

class CMainApp;
class QWidget;
class CSView;

class AppViewHost : public ViewHost {
  public:
    explicit AppViewHost(CMainApp* app) : app_(app) {}

    MODEL* first_drawing() override;
    MODEL* next_drawing() override;
    std::string doc_path(VIEW* view) override;
    void set_modified(VIEW* view, int flag) override;
    void doc_update_all(VIEW* view) override;
    [[nodiscard]] int fill_layer_lists(VIEW* view) override;

    void status_prompt(int string_id) override;
    void status_message(const std::string& text) override;
    void readout_update(VIEW* view, int mode) override;
    void beep(int kind) override;
    void help(uint32_t help_id) override;

    int wait_step() override;
    void post_code(int code) override;
    VIEW* command_view() override;
    bool command_running() override;
    VIEW* set_command_view(VIEW* view) override;
    void show_cursor_mark(VIEW* view, bool show, bool this_only) override;
    void update_window(VIEW* view) override;
    bool input_pending() override;
    void feedback_started(VIEW* view) override;

    Canvas* canvas(VIEW* view) override;
    void update_scroll_bars(VIEW* view) override;

    bool typed_entry_dialog(VIEW* view, int point, uint32_t prompt_id, char* buffer,
                            size_t capacity) override;
    int method_dialog(VIEW* view, uint32_t title_id, const uint32_t* choice_ids, int count,
                      int current) override;
    void warp_pointer(VIEW* view, int x, int y) override;

  private:
    CMainApp* app_;
    size_t walk_ = 0;  // position of the walk over the open drawings
};

// The typed-entry dialogs (Enter Coordinate for a point step, else Enter Number),
// installed by the program above the shell; without one typed entry is cancelled.
using TypedEntryFn = bool (*)(QWidget* owner, VIEW* view, int point, uint32_t prompt_id, char* buffer,
                              size_t capacity);
void app_set_typed_entry(TypedEntryFn fn);
// The method choice of the drawing commands (the chosen method or -1), installed the
// same way; without one the choice is cancelled.
using MethodDialogFn = int (*)(QWidget* owner, VIEW* view, uint32_t title_id, const uint32_t* choice_ids, int count,
                               int current);
void app_set_method_dialog(MethodDialogFn fn);

// The gate through which long cursor feedback learns that new input waits: Qt cannot
// look into its event queue, so the drawing views report each key, button and move
// here, and a draw that outlasts a frame counts as overtaken too.
InputGate& app_input_gate();

// The drawing view showing a VIEW, or null.
CSView* view_window_of(const VIEW* view);
