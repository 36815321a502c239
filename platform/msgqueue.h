// The application's own message queue, timers by id and idle calls.
//
// Windows are MsgTarget objects addressed by a WinId (never reused while the process
// runs, 0 meaning none). Any thread may post; messages are dispatched on the
// user-interface thread one at a time from the Qt event loop, in posting order,
// so Qt's own input and paint events run between them. A message for a window that
// no longer exists is dropped.
//
// Quit: post_quit_message marks WM_QUIT; it stays queued until the outermost loop
// (a Qt event loop running, no wait running) has dispatched every other message,
// and then ends the Qt loop with its code. Dispatching while no Qt event loop runs
// (msg_dispatch_pending before exec) leaves it queued for the loop that starts
// next. A running wait sees it and returns kMsgWaitQuit, leaving it queued.
//
// Waits: msg_wait runs the event loop until its own message (window and message
// number) has been dispatched to it, quit is posted, or its window is destroyed.
// It checks its own record after every pass and never trusts a nested loop's
// return code; a message for another window, or another message, is dispatched as
// usual and does not end the wait. Waits nest; a message that matches several goes
// to the innermost.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

using WinId = uint32_t;

inline constexpr uint32_t WM_QUIT = 0x0012;
inline constexpr uint32_t WM_COMMAND = 0x0111;
inline constexpr uint32_t WM_TIMER = 0x0113;
inline constexpr uint32_t WM_USER = 0x0400;

inline constexpr int kMsgWaitArrived = 0;
inline constexpr int kMsgWaitQuit = -2;
inline constexpr int kMsgWaitGone = -3;

struct Msg {
    WinId window = 0;
    uint32_t message = 0;
    intptr_t wparam = 0;
    intptr_t lparam = 0;
};

// A window as the queue sees it. Registers itself on construction and withdraws on
// destruction (its queued messages are then dropped and its timers stopped).
class MsgTarget {
  public:
    MsgTarget();
    virtual ~MsgTarget();
    MsgTarget(const MsgTarget&) = delete;
    MsgTarget& operator=(const MsgTarget&) = delete;

    WinId win_id() const { return id_; }
    // Handles one message (queued, sent, or WM_TIMER with the timer id as wparam).
    virtual intptr_t OnMessage(uint32_t message, intptr_t wparam, intptr_t lparam) = 0;

  private:
    WinId id_;
};

// Makes the dispatcher on the calling (user-interface) thread and schedules any
// messages posted before it existed. Called by platform_create_application.
void msg_queue_attach();

// Queues a message; any thread. False when `window` is 0 or not a live window.
bool post_message(WinId window, uint32_t message, intptr_t wparam, intptr_t lparam);
// Calls the window's handler at once; user-interface thread. 0 for a dead window.
intptr_t send_message(WinId window, uint32_t message, intptr_t wparam, intptr_t lparam);
// Marks WM_QUIT with the exit code; any thread.
void post_quit_message(int code);
// True while WM_QUIT is queued; the code goes to *code when given.
bool quit_pending(int* code = nullptr);

// Looks at the queue without dispatching: the first message whose window matches
// (0: any) and whose number lies in [first, last] (0, 0: any). With nothing else
// matching, a queued WM_QUIT is reported (window 0, wparam the code). `remove`
// takes the message out (and clears WM_QUIT). False when nothing matches.
bool peek_message(Msg* out, WinId window, uint32_t first, uint32_t last, bool remove);
// Messages queued (WM_QUIT not counted).
size_t msg_queue_size();

// Waits for `message` to `window`: kMsgWaitArrived with its parameters in *wparam
// and *lparam (either may be null), or kMsgWaitQuit (also at once when there is no
// application object, as nothing could arrive), or kMsgWaitGone when the window is
// destroyed (or was never alive) without the message having been posted to it; a
// message posted to it before it went still ends the wait as arrived.
// User-interface thread.
int msg_wait(WinId window, uint32_t message, intptr_t* wparam, intptr_t* lparam);
// Number of waits running.
int msg_wait_depth();

// Called while the queue is empty with a count that starts at 0 after each
// message; return true to be called again, false to rest until the next message.
using IdleHandler = std::function<bool(long count)>;
IdleHandler msg_set_idle_handler(IdleHandler handler);

// Runs the Qt event loop until the queue is empty and no dispatch is pending (for
// tests and shut-down; it does not consume WM_QUIT).
void msg_dispatch_pending();

// Timers by id: every `ms` milliseconds the window gets WM_TIMER with wparam = id.
// Setting an id that runs restarts it with the new interval. User-interface thread.
bool set_timer(WinId window, uint32_t id, unsigned ms);
bool kill_timer(WinId window, uint32_t id);
