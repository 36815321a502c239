// The scripted-input harness of the command tests: one drawing with headless
// drawing views (each a queue window with a VIEW and a canvas), a bare command
// processor, and a view host that answers the engine from a script. While a command
// step waits and the queue is idle, the next scripted event is applied through the
// drawing view's input rules; a wait that finds the script empty ends cancelled and
// fails the test, so no test can hang.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "graphics/view/canvas.h"
#include "graphics/view/input_gate.h"
#include "graphics/view/view.h"
#include "graphics/view/view_host.h"
#include "model/db/zobj.h"
#include "shell/cmdproc.h"

class Harness;

class HeadlessWindow : public MsgTarget, public CmdWindow, public ViewWindow {
  public:
    HeadlessWindow(Harness* h, VIEW* v, int width, int height);
    ~HeadlessWindow() override;

    intptr_t OnMessage(uint32_t message, intptr_t wparam, intptr_t lparam) override;
    WinId cmd_win_id() const override { return win_id(); }
    VIEW* cmd_view() const override { return view; }

    void client_size(int* w, int* h) const override { *w = width, *h = height; }
    void parent_client_size(int* w, int* h) const override { *w = width, *h = height; }
    bool get_placement(FramePlacement*) const override { return false; }
    void set_placement(const FramePlacement&) override {}
    void invalidate(const WindowRect*, bool) override { ++invalidations; }
    void update_now() override {}
    void draw_object(object* obj, int colour) override;

    Harness* harness;
    VIEW* view;  // owned by the harness
    int width, height;
    Canvas canvas;
    int mark_x = 0, mark_y = 0;  // where the shown mark was drawn
    int invalidations = 0;
    int messages_seen = 0;  // step messages that reached the window itself (lost)
};

struct ScriptEvent {
    std::function<void(Harness&)> apply;
    std::string what;
    bool input = false;  // user input (pointer, keys), not a call or a quit
};

class HarnessProcessor : public CmdProcessor {
  public:
    explicit HarnessProcessor(Harness* h) : h_(h) {}
    bool OnIdle(long count) override;

  private:
    Harness* h_;
};

class HarnessFrame : public MsgTarget {
  public:
    explicit HarnessFrame(Harness* h) : h_(h) {}
    intptr_t OnMessage(uint32_t message, intptr_t wparam, intptr_t lparam) override;

  private:
    Harness* h_;
};

class Harness : public ViewHost {
  public:
    explicit Harness(int views = 1, int width = 240, int height = 180);
    ~Harness() override;

    VIEW* view(int i = 0) { return views_[static_cast<size_t>(i)]; }
    HeadlessWindow* window(int i = 0) { return windows_[static_cast<size_t>(i)].get(); }
    MODEL* model() { return model_.get(); }
    CmdProcessor& processor() { return *processor_; }

    // ---- Commands
    void define(uint32_t id, CommandFn fn) { commands_[id] = fn; }
    // Starts a command in a view the way the drawing view does, then dispatches what
    // the queue still holds (re-posted commands start then). Returns the first result.
    int run(uint32_t id, int view_index = 0);
    void drain();

    // ---- The script (events are applied in order while a step waits)
    Harness& at(int view_index) {
        target_ = view_index;
        return *this;
    }
    Harness& move(int x, int y);
    Harness& move_to(const Vec3& world);
    Harness& click(const Vec3& world);      // move there, left button up
    Harness& click_px(int x, int y);
    Harness& right();
    Harness& key(int ch);
    Harness& esc() { return key(27); }
    Harness& enter() { return key(13); }
    Harness& typed(const std::string& answer);  // a digit key opening typed entry, answered with `answer`
    Harness& options();
    Harness& start(uint32_t id);  // another command started from the menu
    Harness& activate();          // the view is activated (the command moves there)
    Harness& close();             // the view is closed
    void close_now(int view_index);  // closes it at once (no step waits)
    Harness& quit();
    Harness& call(std::function<void(Harness&)> fn, const std::string& what = "call");

    // Answers of the dialogs: typed entry (nullopt cancels; at a point step, once a
    // coordinate converter is installed, the answer goes through it as in the Enter
    // Coordinate dialog) and method choices.
    std::deque<std::optional<std::string>> typed_answers;
    std::deque<int> method_answers;

    // What happened.
    std::vector<int> prompts;  // status_prompt ids in order (-1 clears)
    std::vector<std::string> messages;  // status_message texts in order
    std::vector<uint32_t> helps;
    int beeps = 0;
    int modified = 0;
    bool ran_out = false;
    bool allow_run_out = false;
    VIEW* forced_command_view = nullptr;  // the command view while no command runs (feedback tests)
    int pending_after = -1;  // input_pending answers true after this many questions
    int pending_asked = 0;
    // Otherwise input_pending answers from an InputGate as the window side does: the
    // next scripted event (a move, click, key...) counts as input seen while a draw
    // runs, and each question advances the gate's clock by `draw_us_per_question`.
    InputGate gate{16000, &Harness::clock};
    static int64_t now_us;
    int64_t draw_us_per_question = 0;
    static int64_t clock() { return now_us; }
    size_t script_left() const { return script_.size(); }
    // Prompts other than the clearing -1, in order.
    std::vector<int> shown_prompts() const;

    bool feed();

    // ---- ViewHost
    MODEL* first_drawing() override;
    MODEL* next_drawing() override { return nullptr; }
    std::string doc_path(VIEW*) override { return "drawing.qvm"; }
    void set_modified(VIEW*, int flag) override { modified += flag ? 1 : 0; }
    void doc_update_all(VIEW*) override {}
    int fill_layer_lists(VIEW*) override { return 0; }
    void status_prompt(int id) override { prompts.push_back(id); }
    void status_message(const std::string& text) override { messages.push_back(text); }
    void readout_update(VIEW*, int) override {}
    void beep(int) override { ++beeps; }
    void help(uint32_t id) override { helps.push_back(id); }
    int wait_step() override { return processor_->WaitCmdMessage(kMsgCmdStep); }
    void post_code(int code) override { processor_->PostCmdCode(code); }
    VIEW* command_view() override;
    bool command_running() override { return processor_->command_running(); }
    VIEW* set_command_view(VIEW* view) override;
    void show_cursor_mark(VIEW* view, bool show, bool this_only) override;
    void update_window(VIEW*) override {}
    bool input_pending() override;
    void feedback_started(VIEW*) override { gate.draw_begin(); }
    Canvas* canvas(VIEW* view) override;
    void update_scroll_bars(VIEW*) override {}
    bool typed_entry_dialog(VIEW* view, int point, uint32_t prompt_id, char* buffer, size_t capacity) override;
    int method_dialog(VIEW* view, uint32_t title_id, const uint32_t* choices, int count, int current) override;

    HeadlessWindow* window_of(const VIEW* v);

  private:
    Harness& push(std::function<void(Harness&)> fn, std::string what, bool input = true);
    void start_in(uint32_t id, HeadlessWindow* w);

    friend class HarnessFrame;
    std::unique_ptr<MODEL> model_;
    DrawingDocument doc_;
    std::vector<VIEW*> views_;
    std::vector<std::unique_ptr<HeadlessWindow>> windows_;
    std::unique_ptr<HarnessProcessor> processor_;
    std::unique_ptr<HarnessFrame> frame_;
    std::map<uint32_t, CommandFn> commands_;
    std::deque<ScriptEvent> script_;
    int target_ = 0;
    ViewHost* previous_host_ = nullptr;
};

// Sets the drawing classes and the VIEW class up once.
void harness_register_classes();
