// The scripted-input harness: headless drawing views, a bare processor and a view
// host fed from a script.
#include "harness.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "commands/input/cmdinput.h"
#include "commands/input/input.h"
#include "commands/input/support.h"
#include "graphics/view/colours.h"
#include "graphics/view/view_gdi.h"
#include "graphics/view/view_input.h"
#include "model/math/result.h"
#include "model/services/numfmt.h"
#include "model/services/prefs.h"

void harness_register_classes() {
    static bool done = false;
    if (done) return;
    done = true;
    rtc_register_all();
    view_type_register();
}

bool HarnessProcessor::OnIdle(long count) {
    bool more = CmdProcessor::OnIdle(count);
    return h_->feed() || more;
}

intptr_t HarnessFrame::OnMessage(uint32_t message, intptr_t wparam, intptr_t) {
    if (message == WM_COMMAND) {
        int i = h_->target_;
        if (i >= 0 && static_cast<size_t>(i) < h_->windows_.size() && h_->windows_[i])
            h_->start_in(static_cast<uint32_t>(wparam), h_->windows_[i].get());
    }
    return 0;
}

HeadlessWindow::HeadlessWindow(Harness* h, VIEW* v, int w, int hgt)
    : harness(h), view(v), width(w), height(hgt) {
    (void)canvas.resize(w, hgt, Canvas::palette_colour(display_background_colour()));
    canvas.clear_damage();
}

HeadlessWindow::~HeadlessWindow() = default;

intptr_t HeadlessWindow::OnMessage(uint32_t message, intptr_t, intptr_t) {
    if (message == kMsgCmdStep) ++messages_seen;
    return 0;
}

void HeadlessWindow::draw_object(object* obj, int colour) {
    canvas.set_pen(view->draw_mode, canvas.pen_colour());
    canvas.draw_object(view, obj, colour);
}

Harness::Harness(int views, int width, int height) {
    harness_register_classes();
    model_ = rtc_make<MODEL>();
    model_->document = &doc_;
    doc_.owner = this;
    previous_host_ = view_host_install(this);
    input_install_hooks();
    processor_ = std::make_unique<HarnessProcessor>(this);
    frame_ = std::make_unique<HarnessFrame>(this);
    processor_->SetMainWindow(frame_->win_id());
    for (int i = 0; i < views; ++i) {
        VIEW* v = view_new(model_.get(), nullptr);
        EXPECT_NE(v, nullptr);
        views_.push_back(v);
        windows_.push_back(std::make_unique<HeadlessWindow>(this, v, width, height));
        v->window = windows_.back().get();
    }
}

Harness::~Harness() {
    // Nothing of this drawing may stay queued for the next test.
    drain();
    if (quit_pending()) peek_message(nullptr, 0, WM_QUIT, WM_QUIT, true);
    processor_.reset();
    for (VIEW* v : views_) {
        if (!v) continue;
        v->window = nullptr;
        rtc_destroy(v);
    }
    windows_.clear();
    frame_.reset();
    model_.reset();
    view_host_install(previous_host_);
}

void Harness::drain() { msg_dispatch_pending(); }

void Harness::start_in(uint32_t id, HeadlessWindow* w) {
    auto it = commands_.find(id);
    if (!w || it == commands_.end()) return;
    processor_->RunCommand(w, id, it->second, nullptr);
}

int Harness::run(uint32_t id, int view_index) {
    target_ = view_index;
    auto it = commands_.find(id);
    HeadlessWindow* w = window(view_index);
    if (!w || it == commands_.end()) return kBadArgument;
    int r = processor_->RunCommand(w, id, it->second, nullptr);
    drain();
    return r;
}

std::vector<int> Harness::shown_prompts() const {
    std::vector<int> out;
    for (int p : prompts)
        if (p != -1) out.push_back(p);
    return out;
}

bool Harness::feed() {
    if (msg_wait_depth() == 0 || msg_queue_size() > 0 || quit_pending()) return false;
    if (script_.empty()) {
        if (!ran_out && !allow_run_out) ADD_FAILURE() << "the script ran out while a step waits";
        ran_out = true;
        if (CmdWindow* w = processor_->command_window())
            post_message(w->cmd_win_id(), kMsgCmdStep, kStepCancelled, 0);
        return false;
    }
    ScriptEvent e = std::move(script_.front());
    script_.pop_front();
    e.apply(*this);
    // After an event that posted something, idle calls rest until the queue has been
    // dispatched to a window (a result that reached the wait ends it first), so the
    // next event never overtakes the step it belongs after.
    return msg_queue_size() == 0 && !quit_pending();
}

Harness& Harness::push(std::function<void(Harness&)> fn, std::string what, bool input) {
    const int t = target_;
    script_.push_back(ScriptEvent{[t, fn](Harness& h) {
                                      h.target_ = t;
                                      fn(h);
                                  },
                                  std::move(what), input});
    return *this;
}

Harness& Harness::move(int x, int y) {
    return push([x, y](Harness& h) { view_input_move(h.view(h.target_), x, y); }, "move");
}

Harness& Harness::move_to(const Vec3& p) {
    return push(
        [p](Harness& h) {
            VIEW* v = h.view(h.target_);
            int x, y;
            world_to_pixel(&v->projection, p, &x, &y);
            view_input_move(v, x, y);
        },
        "move_to");
}

Harness& Harness::click(const Vec3& p) {
    move_to(p);
    return push([](Harness& h) { view_input_button_up(h.view(h.target_), kButtonLeft); }, "click");
}

Harness& Harness::click_px(int x, int y) {
    move(x, y);
    return push([](Harness& h) { view_input_button_up(h.view(h.target_), kButtonLeft); }, "click");
}

Harness& Harness::right() {
    return push([](Harness& h) { view_input_button_up(h.view(h.target_), kButtonRight); }, "right");
}

Harness& Harness::key(int ch) {
    return push([ch](Harness& h) { view_input_char(h.view(h.target_), ch); }, "key");
}

Harness& Harness::typed(const std::string& answer) {
    return push(
        [answer](Harness& h) {
            h.typed_answers.push_back(answer);
            view_input_char(h.view(h.target_), answer.empty() ? '1' : answer[0]);
        },
        "typed");
}

Harness& Harness::options() {
    return push([](Harness& h) { view_input_options_key(h.view(h.target_)); }, "options");
}

Harness& Harness::start(uint32_t id) {
    return push([id](Harness& h) { h.start_in(id, h.window(h.target_)); }, "start");
}

Harness& Harness::activate() {
    return push(
        [](Harness& h) {
            HeadlessWindow* w = h.window(h.target_);
            h.processor().MoveCommand(w);
            h.processor().RetargetInput(w);
        },
        "activate");
}

void Harness::close_now(int index) {
    const size_t i = static_cast<size_t>(index);
    HeadlessWindow* w = windows_[i].get();
    if (!w) return;
    const bool waits_here = processor_->command_window() == w && !processor_->top_input();
    view_input_closing(w->view);
    processor_->WindowClosing(w);
    w->view->window = nullptr;
    windows_[i].reset();
    // As in the application, a view no function command waits in goes at once.
    if (!waits_here) {
        model_detach_view(views_[i]);
        rtc_destroy(views_[i]);
        views_[i] = nullptr;
    }
}

Harness& Harness::close() {
    return push([](Harness& h) { h.close_now(h.target_); }, "close");
}

Harness& Harness::quit() {
    return push([](Harness&) { post_quit_message(0); }, "quit", false);
}

Harness& Harness::call(std::function<void(Harness&)> fn, const std::string& what) {
    return push(std::move(fn), what, false);
}

MODEL* Harness::first_drawing() { return model_.get(); }

HeadlessWindow* Harness::window_of(const VIEW* v) {
    for (auto& w : windows_)
        if (w && w->view == v) return w.get();
    return nullptr;
}

VIEW* Harness::command_view() {
    CmdWindow* w = processor_->command_window();
    return w ? w->cmd_view() : forced_command_view;
}

VIEW* Harness::set_command_view(VIEW* v) {
    VIEW* previous = command_view();
    if (!v)
        processor_->NestInput(nullptr);
    else if (HeadlessWindow* w = window_of(v))
        processor_->NestInput(w);
    return previous;
}

void Harness::show_cursor_mark(VIEW* view, bool show, bool this_only) {
    auto one = [&](VIEW* v) {
        HeadlessWindow* w = window_of(v);
        if (!w || (v->cursor_shown != 0) == show) return;
        if (show) {
            w->mark_x = v->cursor_pixel[0];
            w->mark_y = v->cursor_pixel[1];
        }
        view_set_xor(v);
        if (CCmdInput* top = processor_->top_input())
            top->DrawMark(v, w->mark_x, w->mark_y);
        else if (DocInputState* st = view_input_state(v); st && st->on_move)
            st->on_move(v, w->mark_x, w->mark_y);
        v->cursor_shown = show ? 1 : 0;
    };
    one(view);
    if (this_only) return;
    for (VIEW* v = drawing_first_view(view_drawing(view)); v; v = drawing_next_view(v))
        if (v != view) one(v);
}

int64_t Harness::now_us = 0;

bool Harness::input_pending() {
    if (pending_after >= 0) return ++pending_asked > pending_after;
    now_us += draw_us_per_question;
    if (!script_.empty() && script_.front().input) gate.input_seen();
    return gate.pending();
}

Canvas* Harness::canvas(VIEW* v) {
    HeadlessWindow* w = window_of(v);
    return w ? &w->canvas : nullptr;
}

bool Harness::typed_entry_dialog(VIEW* view, int point, uint32_t, char* buffer, size_t capacity) {
    if (typed_answers.empty()) {
        ADD_FAILURE() << "a typed-entry dialog opened without an answer";
        return false;
    }
    std::optional<std::string> a = typed_answers.front();
    typed_answers.pop_front();
    if (!a || capacity == 0) return false;
    // With a converter installed, a point answer goes through it as in the Enter
    // Coordinate dialog (a refused text counts as Cancel).
    if (CoordConverter convert = coord_dialog_converter(); point && convert) {
        std::string converted;
        if (!convert(view, *a, g_prefs.coord_sys != 0, &converted)) return false;
        a = converted;
    }
    std::strncpy(buffer, a->c_str(), capacity - 1);
    buffer[capacity - 1] = 0;
    return true;
}

int Harness::method_dialog(VIEW*, uint32_t, const uint32_t*, int, int) {
    if (method_answers.empty()) return -1;
    int m = method_answers.front();
    method_answers.pop_front();
    return m;
}
