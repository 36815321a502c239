// The command processor through the harness: starting, cancelling and re-starting
// commands, waits that follow the command window, closing and quitting during a
// wait, a cancel that arrives while a modal dialog runs, and command-input tools.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "commands/input/cmdinput.h"
#include "commands/input/feedback.h"
#include "commands/input/input.h"
#include "harness.h"
// Qt last: its keywords would clash with field names above.
#include "../platform/qt_test_env.h"
#include "model/math/result.h"
#include "model/services/msgbox.h"
#include "model/services/strtab.h"
#include "resources/string_ids.h"

namespace {

std::vector<int> g_codes;   // step results seen by the probe commands, in order
std::vector<uint32_t> g_ran;  // ids of the commands that ran
VIEW* g_last_view = nullptr;

// Asks for points until a step does not give one; records every code.
int cmd_points(void* arg) {
    VIEW** vr = static_cast<VIEW**>(arg);
    g_ran.push_back(100);
    for (;;) {
        Vec3 p;
        int c = input_point(vr, 42002, cursor_draw_crosshair, nullptr, &p, 0);
        g_codes.push_back(c);
        g_last_view = *vr;
        if (c != 0) return c;
    }
}

// One step only.
int cmd_once(void* arg) {
    VIEW** vr = static_cast<VIEW**>(arg);
    g_ran.push_back(200);
    Vec3 p;
    int c = input_point(vr, 42003, cursor_draw_crosshair, nullptr, &p, 0);
    g_codes.push_back(c);
    return c;
}

// A modal dialog that runs its own loop: the cancel of another command's start
// is dispatched there and reaches no wait.
int cmd_modal_then_step(void* arg) {
    VIEW** vr = static_cast<VIEW**>(arg);
    g_ran.push_back(300);
    cmd_processor()->RunCommand(cmd_processor()->command_window(), 200, cmd_once, arg);  // the user starts 200
    msg_dispatch_pending();  // the dialog's loop
    Vec3 p;
    int c = input_point(vr, 42002, cursor_draw_crosshair, nullptr, &p, 0);
    g_codes.push_back(c);
    return c;
}

class ProcessorTest : public ::testing::Test {
  protected:
    void SetUp() override {
        g_codes.clear();
        g_ran.clear();
        g_last_view = nullptr;
    }
};

TEST_F(ProcessorTest, StepsEndWithClickEscRightAndCommandCodes) {
    struct Case {
        const char* what;
        std::function<void(Harness&)> script;
        std::vector<int> codes;
    };
    const std::vector<Case> cases = {
        {"click then Esc", [](Harness& h) { h.click({10, 10, 0}).esc(); }, {0, -1}},
        {"right button", [](Harness& h) { h.right(); }, {-1}},
        {"Enter takes the cursor", [](Harness& h) { h.move(5, 5).enter().esc(); }, {0, -1}},
        {"a command code", [](Harness& h) { h.call([](Harness&) { command_post_code(kOutOfMemory); }); },
         {kOutOfMemory}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        g_codes.clear();
        Harness h;
        h.define(100, cmd_points);
        c.script(h);
        h.run(100);
        EXPECT_EQ(g_codes, c.codes);
        EXPECT_FALSE(h.processor().command_running());
        EXPECT_EQ(h.script_left(), 0u);
    }
}

TEST_F(ProcessorTest, SameCommandAgainIsIgnoredAnotherCancelsAndStartsOnce) {
    Harness h;
    h.define(100, cmd_points);
    h.define(200, cmd_once);
    // The same command again while it waits changes nothing; then 200 cancels it and
    // starts once the first has unwound.
    h.start(100).click({1, 1, 0}).start(200).click({2, 2, 0});
    h.run(100);
    EXPECT_EQ(g_ran, (std::vector<uint32_t>{100, 200}));
    EXPECT_EQ(g_codes, (std::vector<int>{0, -2, 0}));
    EXPECT_FALSE(h.processor().command_running());
    EXPECT_FALSE(h.processor().start_pending());
}

// Runs out of memory after its first step.
int cmd_step_then_out_of_memory(void* arg) {
    g_ran.push_back(500);
    Vec3 p;
    g_codes.push_back(input_point(static_cast<VIEW**>(arg), 42003, cursor_draw_crosshair, nullptr, &p, 0));
    throw std::bad_alloc();
}

TEST_F(ProcessorTest, ACommandOutOfMemoryEndsWithTheMessage) {
    std::vector<std::string> shown;
    const MsgBoxHook before = msgbox_set_hook([&](const MsgBoxRequest& r) {
        shown.push_back(r.text);
        return kIdOk;
    });
    Harness h;
    h.define(500, cmd_step_then_out_of_memory);
    h.define(200, cmd_once);
    h.click({1, 1, 0}).click({2, 2, 0});
    EXPECT_EQ(h.run(500), kOutOfMemory);
    EXPECT_EQ(shown, (std::vector<std::string>{res_load_string(IDS_NO_MEMORY)}));
    EXPECT_FALSE(h.processor().command_running());
    // The next command runs as usual.
    h.run(200);
    EXPECT_EQ(g_ran, (std::vector<uint32_t>{500, 200}));
    EXPECT_EQ(g_codes, (std::vector<int>{0, 0}));
    msgbox_set_hook(before);
}

// Started again while it computes (no wait runs): the cancel it never waited for must
// not reach the next command in the same window.
int cmd_busy_then_return(void*) {
    g_ran.push_back(400);
    cmd_processor()->RunCommand(cmd_processor()->command_window(), 200, cmd_once, nullptr);
    return 0;
}

TEST_F(ProcessorTest, ACancelNeverWaitedForDoesNotReachTheNextCommand) {
    Harness h;
    h.define(400, cmd_busy_then_return);
    h.define(200, cmd_once);
    h.click({5, 5, 0});
    h.run(400);
    EXPECT_EQ(g_ran, (std::vector<uint32_t>{400, 200}));
    EXPECT_EQ(g_codes, (std::vector<int>{0}));
}

TEST_F(ProcessorTest, StepMessageForAnotherWindowDoesNotEndTheWait) {
    Harness h(2);
    h.define(100, cmd_points);
    h.call([](Harness& hh) { post_message(hh.window(1)->win_id(), kMsgCmdStep, 0, 0); }).esc();
    h.run(100);
    EXPECT_EQ(g_codes, (std::vector<int>{-1}));
    EXPECT_EQ(h.window(1)->messages_seen, 1);
}

TEST_F(ProcessorTest, QuitDuringAWaitCancelsAndStaysQueued) {
    Harness h;
    h.define(100, cmd_points);
    h.quit();
    h.run(100);
    EXPECT_EQ(g_codes, (std::vector<int>{-2}));
    EXPECT_TRUE(quit_pending());
}

TEST_F(ProcessorTest, CodesWithoutACommandAreDroppedAndWaitsWithoutWindowCancel) {
    Harness h;
    command_post_code(0);
    EXPECT_EQ(msg_queue_size(), 0u);
    EXPECT_EQ(h.processor().WaitCmdMessage(kMsgCmdStep), kStepCancelled);
}

TEST_F(ProcessorTest, CommandMovesToAnotherViewAndTheWaitFollows) {
    Harness h(2);
    h.define(100, cmd_points);
    // The second view is activated: the step now ends from there; a click in the
    // first view no longer reaches the command.
    h.at(1).activate().at(0).click({3, 3, 0}).at(1).click({4, 4, 0}).esc();
    h.run(100);
    EXPECT_EQ(g_codes, (std::vector<int>{0, -1}));
    EXPECT_EQ(g_last_view, h.view(1));
}

TEST_F(ProcessorTest, ClosingTheCommandViewCancelsTheWait) {
    Harness h(2);
    h.define(100, cmd_points);
    h.close();
    h.run(100);
    EXPECT_EQ(g_codes, (std::vector<int>{-2}));
    EXPECT_EQ(g_last_view, nullptr);
    EXPECT_FALSE(h.processor().command_running());
}

TEST_F(ProcessorTest, CancelDuringAModalDialogReachesTheNextWait) {
    Harness h;
    h.define(300, cmd_modal_then_step);
    h.define(200, cmd_once);
    h.click({5, 5, 0});  // answers the restarted command 200
    h.run(300);
    // 300's next wait returns the cancel at once; 200 starts once, after it.
    EXPECT_EQ(g_ran, (std::vector<uint32_t>{300, 200}));
    EXPECT_EQ(g_codes, (std::vector<int>{-2, 0}));
    EXPECT_EQ(h.window(0)->messages_seen, 1);  // the cancel the dialog's loop swallowed
}

// ---- Command-input tools

struct Tool : CCmdInput {
    explicit Tool(uint32_t id, bool refuse = false) : CCmdInput(id), refuse_end(refuse) { ++alive; }
    ~Tool() override { --alive; }
    int OnNotify(InputNotice* n) override {
        notices.push_back(n->code);
        CCmdInput::OnNotify(n);
        if ((n->code == kNoticeStepGiven || n->code == kNoticeStepEnded) && !refuse_end) n->result = 0;
        return 0;
    }
    bool refuse_end;
    std::vector<uint32_t> notices;
    static inline int alive = 0;
};

TEST_F(ProcessorTest, ToolStartsEndsAndIsDeletedAtIdle) {
    Harness h;
    Tool* t = new Tool(15500);
    h.processor().SwitchCommand(h.window(), 15500, t);
    EXPECT_EQ(h.processor().top_input(), t);
    EXPECT_EQ(t->view, h.view());
    EXPECT_EQ(h.view()->input_mode, 1);
    h.processor().PostCmdCode(1);  // the tool ends itself on a code 1 notice
    EXPECT_EQ(h.processor().top_input(), nullptr);
    EXPECT_FALSE(h.processor().command_running());
    EXPECT_EQ(t->notices, (std::vector<uint32_t>{kNoticeStart, kNoticeStepEnded}));
    EXPECT_EQ(Tool::alive, 1);
    h.processor().OnIdle(0);
    EXPECT_EQ(Tool::alive, 0);
}

TEST_F(ProcessorTest, ToolThatRefusesStaysAndDropsTheNewStart) {
    Harness h;
    h.define(100, cmd_points);
    Tool* t = new Tool(15500, true);
    h.processor().SwitchCommand(h.window(), 15500, t);
    h.run(100);  // told to end, refuses: the start is dropped with a beep
    EXPECT_EQ(h.processor().top_input(), t);
    EXPECT_TRUE(g_ran.empty());
    EXPECT_EQ(h.beeps, 1);
    EXPECT_EQ(t->notices.back(), static_cast<uint32_t>(kNoticeStepEnded));
    t->refuse_end = false;
    h.processor().PostCmdCode(1);
    EXPECT_FALSE(h.processor().command_running());
}

TEST_F(ProcessorTest, ClosingTheViewOfARefusingToolTakesTheToolAway) {
    Harness h(2);
    h.define(100, cmd_points);
    Tool* t = new Tool(15500, true);
    h.processor().SwitchCommand(h.window(0), 15500, t);
    // The tool's view closes (its VIEW goes with it); the tool would rather stay.
    h.close_now(0);
    EXPECT_EQ(h.processor().top_input(), nullptr);
    EXPECT_FALSE(h.processor().command_running());
    EXPECT_EQ(t->notices.back(), static_cast<uint32_t>(kNoticeStepEnded));
    // The next command gets its own steps, not the gone tool.
    h.at(1).click({3, 3, 0}).esc();
    h.run(100, 1);
    EXPECT_EQ(g_codes, (std::vector<int>{0, -1}));
    h.processor().OnIdle(0);
    EXPECT_EQ(Tool::alive, 0);
}

TEST_F(ProcessorTest, RetargetTellsTheToolWhichViewWasActivated) {
    Harness h(2);
    Tool* t = new Tool(15500);
    h.processor().SwitchCommand(h.window(0), 15500, t);
    h.processor().RetargetInput(h.window(0));  // its own view: nothing
    h.processor().RetargetInput(h.window(1));
    h.processor().RetargetInput(nullptr);  // not a drawing view
    h.processor().RetargetInput(h.window(1));  // now inactive
    EXPECT_EQ(t->notices, (std::vector<uint32_t>{kNoticeStart, kNoticeOtherView, kNoticeOtherWindow,
                                                 kNoticeViewInactive}));
    EXPECT_EQ(t->view, h.view(1));
    h.processor().PostCmdCode(0);
}

TEST_F(ProcessorTest, ToolKeysStayInsideTheBuffer) {
    Harness h;
    char text[4] = {'x', 'x', 'x', 'x'};
    Tool* t = new Tool(15500);
    t->text = text;
    t->capacity = sizeof text;
    t->input_kind = 0;
    h.processor().SwitchCommand(h.window(), 15500, t);
    for (char c : std::string("abcdef")) t->OnKey(c, 1, 0);
    EXPECT_STREQ(text, "abc");
    EXPECT_EQ(h.beeps, 3);
    // A typed point through the dialog is cut to the buffer.
    t->input_kind = 2;
    h.typed_answers.push_back("12345678");
    t->OnKey('1', 1, 0);
    EXPECT_STREQ(text, "123");
    float p[3];
    EXPECT_EQ(t->GetPoint(p), 0);
    h.typed_answers.push_back("1 2 3");
    t->OnKey('1', 1, 0);
    EXPECT_STREQ(text, "1 2");
    t->OnKey(27, 1, 0);  // Esc ends the tool
    EXPECT_FALSE(h.processor().command_running());
}

TEST_F(ProcessorTest, BackgroundJobFromAWorker) {
    Harness h;
    int32_t busy = 0;
    int job = 0;
    std::thread worker([&] { h.processor().SetBackgroundJob(&busy, &job); });
    worker.join();
    EXPECT_EQ(h.processor().GetBackgroundJob(), &job);
    EXPECT_EQ(busy, 1);
    h.processor().SetBackgroundJob(&busy, nullptr);
    EXPECT_EQ(busy, 0);
}

}  // namespace
