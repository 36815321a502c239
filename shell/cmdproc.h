// The command processor: runs at most one interactive command at a time on the
// user-interface thread, lets its input routines wait for each step in a nested loop
// over the message queue (platform/msgqueue.h), cancels a running command when
// another starts, keeps the stack of command-input tools (commands/input/cmdinput.h) and
// holds the record of the one background render job.
//
// The application object derives from CmdProcessor; tests use a bare one. Exactly
// one processor exists at a time (cmd_processor()).
//
// Step results (the wParam of kMsgCmdStep, WM_USER + 1): 0 a point was given or
// Enter, -1 Esc or the right button in the drawing view, 1 Esc in a tool, -2
// cancelled (another command, the command window closed, quit); other values are
// codes chosen by the command (8 out of memory).
#pragma once

#include <atomic>
#include <cstdint>

#include "graphics/view/view_host.h"
#include "platform/msgqueue.h"

class CCmdInput;
class VIEW;

// What the processor needs of a drawing view: its queue window and its VIEW. The
// application's CSView implements it, the test harness a headless window.
class CmdWindow {
  public:
    virtual ~CmdWindow() = default;
    virtual WinId cmd_win_id() const = 0;
    virtual VIEW* cmd_view() const = 0;
};

// A command function: straight-line code that asks for its steps through the input
// routines. `arg` points to a word holding the view's VIEW pointer (opening a block
// passes two words: the VIEW and the path). Returns 0 or a result code.
using CommandFn = int (*)(void* arg);

class CmdProcessor {
  public:
    CmdProcessor();
    virtual ~CmdProcessor();
    CmdProcessor(const CmdProcessor&) = delete;
    CmdProcessor& operator=(const CmdProcessor&) = delete;

    // The frame window that gets WM_COMMAND re-posts (0: none).
    void SetMainWindow(WinId frame) { main_window_ = frame; }

    // Starts a command function. `arg` null: the function gets a pointer to the
    // processor's own word holding the window's VIEW, which stays valid when the
    // window closes during the command (a word kept in the window would not).
    // Idle: calls it at once and returns its result.
    // The same command again (window, id and function): ignored, 0. Another one while
    // a command runs: the running one is cancelled (its next or current wait returns
    // -2; a tool is told to end) and the new one is re-posted once to the main window
    // as WM_COMMAND when the running one has unwound. 0.
    int RunCommand(CmdWindow* window, uint32_t id, CommandFn fn, void* arg);
    // Starts a tool instead of a function (same rules). The processor owns `input`
    // from this call: a tool that does not start now is deleted (its command is
    // re-posted when the running one has unwound, or dropped with a beep when a
    // running tool refuses to end). 0.
    int SwitchCommand(CmdWindow* window, uint32_t id, CCmdInput* input);
    // The nested wait of a step: returns the posted code, or -2 on quit, when the
    // command window is closed or there is none, or when the command was cancelled.
    // Follows the command window when the command moves to another view.
    int WaitCmdMessage(uint32_t message = kMsgCmdStep);
    // Delivers a step result to the running command (to the top tool when one runs);
    // dropped when no command runs.
    void PostCmdCode(intptr_t code);
    // A drawing view (or another window: null) was activated: tells the top tool.
    void RetargetInput(CmdWindow* window);
    // Activation moved a running function command to another view of its drawing:
    // the command window becomes `window` and a waiting step now waits there.
    void MoveCommand(CmdWindow* window);
    // A dialog's pick (view_begin_nested_input) waits in `window`: a running command
    // moves there (MoveCommand); with none running, `window` becomes the command
    // window of the pick alone, so that its steps wait for clicks there. Null ends
    // such a pick (the command window of a running command is given back by
    // MoveCommand instead).
    void NestInput(CmdWindow* window);
    // A drawing view is going away: when it runs the command, the command is
    // cancelled (-2) and forgotten as its window; a tool on it ends, and leaves the
    // stack even when it would rather stay (its VIEW goes with the window).
    void WindowClosing(CmdWindow* window);
    void PushInput(CCmdInput* input);
    void NotifyInput(CCmdInput* input, int result);

    // Idle processing: deletes one finished tool per call; true to be called again.
    virtual bool OnIdle(long count);
    // Deletes every tool, finished or still on the stack (no notice is sent): at exit,
    // while the windows that tools own still exist.
    void DeleteInputs();
    // Result of the application's exit (the framework's ExitInstance); 0 here.
    virtual int ExitInstance() { return 0; }

    // The render job: set from the worker when it starts (job) and ends (null);
    // `busy` (the document's render busy flag) follows it.
    void SetBackgroundJob(int32_t* busy, void* job);
    void* GetBackgroundJob() const { return job_.load(); }

    // The running-command record.
    CmdWindow* command_window() const { return window_; }
    uint32_t command_id() const { return id_; }
    CommandFn running_function() const { return function_; }
    CCmdInput* top_input() const { return top_; }
    // A function is on the call stack or a tool runs.
    bool command_running() const { return depth_ > 0 || window_ != nullptr; }
    // A WM_COMMAND re-post is waiting for the running command to unwind.
    bool start_pending() const { return pending_id_ != 0; }

  protected:
    // Posts the re-started command to the main window (tests may override).
    virtual void RepostCommand(uint32_t id);
    // The beep when a start is refused.
    virtual void Beep();

  private:
    // Deletes the finished tools once the queue reaches it: a tool that left the
    // stack is gone right after the event that ended it (its tool window and the
    // position that window saves with it), not at some later idle call or at exit.
    class Reaper : public MsgTarget {
      public:
        explicit Reaper(CmdProcessor* p) : p_(p) {}
        intptr_t OnMessage(uint32_t message, intptr_t wparam, intptr_t lparam) override;

      private:
        CmdProcessor* p_;
    };
    void Finished(CCmdInput* input);
    void DeleteFinished();
    void CommandEnded();
    void CancelRunning();
    void DropInputsOf(VIEW* view);

    std::atomic<void*> job_{nullptr};
    CCmdInput* top_ = nullptr;
    CCmdInput* finished_ = nullptr;
    CommandFn function_ = nullptr;
    CmdWindow* window_ = nullptr;
    uint32_t id_ = 0;
    WinId main_window_ = 0;
    int depth_ = 0;             // functions on the call stack
    VIEW* view_word_ = nullptr;  // the argument word of commands started without one
    WinId ran_on_ = 0;           // queue window of the running function's first window
    bool cancel_pending_ = false;  // the next (or current) wait returns -2
    bool nested_only_ = false;     // the command window is a dialog's pick's, no command runs
    uint32_t pending_id_ = 0;   // command to re-post when the running one ends
    IdleHandler previous_idle_;
    Reaper reaper_{this};
    bool reap_posted_ = false;
};

// The one processor, or null. (command_post_code, view_host.h, reaches it through
// the installed view host.)
CmdProcessor* cmd_processor();
