// The command processor: one interactive command at a time, nested step waits over
// the message queue, cancelling and re-starting, the stack of command-input tools.
#include "shell/cmdproc.h"

#include <new>

#include "commands/input/cmdinput.h"
#include "graphics/view/view.h"
#include "graphics/view/view_input.h"
#include "model/math/result.h"
#include "shell/services.h"

namespace {

CmdProcessor* g_processor = nullptr;

// The reaper's one message.
constexpr uint32_t kMsgReapInputs = WM_USER + 40;

// lParam of a wake-up posted to the old command window when the command moved.
constexpr intptr_t kRebindMark = 0x5245424E;  // "REBN"
// A given step's lParam is the negated mark of the cursor place kept for it
// (view_input_keep_place): never the rebind mark, and 0 when none was kept.

}  // namespace

CmdProcessor* cmd_processor() { return g_processor; }

CmdProcessor::CmdProcessor() {
    g_processor = this;
    previous_idle_ = msg_set_idle_handler([this](long count) { return OnIdle(count); });
}

CmdProcessor::~CmdProcessor() {
    msg_set_idle_handler(previous_idle_);
    DeleteInputs();
    if (g_processor == this) g_processor = nullptr;
}

void CmdProcessor::DeleteFinished() {
    reap_posted_ = false;
    while (finished_) {
        CCmdInput* f = finished_;
        finished_ = f->next;
        delete f;
    }
}

void CmdProcessor::DeleteInputs() {
    DeleteFinished();
    while (top_) {
        CCmdInput* t = top_;
        top_ = t->next;
        delete t;
    }
}

intptr_t CmdProcessor::Reaper::OnMessage(uint32_t message, intptr_t, intptr_t) {
    if (message == kMsgReapInputs) p_->DeleteFinished();
    return 0;
}

// A tool that left the stack waits on the finished list until the queue reaches the
// reaper: the code that ended it (its own key or pointer handler, say) is still
// running now.
void CmdProcessor::Finished(CCmdInput* input) {
    input->next = finished_;
    finished_ = input;
    if (!reap_posted_) reap_posted_ = post_message(reaper_.win_id(), kMsgReapInputs, 0, 0);
}

void CmdProcessor::RepostCommand(uint32_t id) {
    if (main_window_) post_message(main_window_, WM_COMMAND, static_cast<intptr_t>(id), 0);
}

void CmdProcessor::Beep() {
    if (ViewHost* h = view_host()) h->beep(-1);
}

// A running function or tool is told to stop. The cancel is sticky: when the -2
// cannot reach a wait now (a modal dialog runs), the next wait returns it.
void CmdProcessor::CancelRunning() {
    if (top_) {
        NotifyInput(top_, kStepToolEsc);
        return;
    }
    cancel_pending_ = true;
    if (window_) post_message(window_->cmd_win_id(), kMsgCmdStep, kStepCancelled, 0);
}

// The running command has unwound: step results still queued for its window belong
// to nobody now (a cancel posted while it was busy), and a start that waited for it
// is posted.
void CmdProcessor::CommandEnded() {
    cancel_pending_ = false;
    if (ran_on_) {
        while (peek_message(nullptr, ran_on_, kMsgCmdStep, kMsgCmdStep, true)) {
        }
        ran_on_ = 0;
    }
    if (pending_id_ != 0) {
        uint32_t id = pending_id_;
        pending_id_ = 0;
        RepostCommand(id);
    }
}

int CmdProcessor::RunCommand(CmdWindow* window, uint32_t id, CommandFn fn, void* arg) {
    if (function_ == fn && window_ == window && id_ == id && command_running()) return 0;
    if (!command_running()) {
        function_ = fn;
        window_ = window;
        id_ = id;
        ran_on_ = window ? window->cmd_win_id() : 0;
        cancel_pending_ = false;
        ++depth_;
        if (!arg) {
            view_word_ = window ? window->cmd_view() : nullptr;
            arg = &view_word_;
        }
        int r = 0;
        try {
            r = fn ? fn(arg) : 0;
        } catch (const std::bad_alloc&) {
            // The command ends here; the drawings and the program go on.
            r = kOutOfMemory;
            shell_tell_out_of_memory();
        }
        --depth_;
        if (depth_ == 0) {
            function_ = nullptr;
            window_ = nullptr;
            id_ = 0;
            CommandEnded();
        }
        return r;
    }
    // Another command runs: cancel it and start this one once it has unwound.
    CancelRunning();
    if (top_ && !depth_) {
        // A tool that refused to end keeps running: the new start is dropped.
        Beep();
        return 0;
    }
    if (command_running())
        pending_id_ = id;
    else
        RepostCommand(id);
    return 0;
}

int CmdProcessor::SwitchCommand(CmdWindow* window, uint32_t id, CCmdInput* input) {
    if (!input) return 0;
    if (input == top_ && window == window_ && id == id_) return 0;
    if (command_running()) {
        CancelRunning();
        if (command_running()) {
            // The running command must unwind first; a refusing tool drops the start.
            if (top_ && !depth_) {
                Beep();
                delete input;
            } else {
                pending_id_ = id;
                delete input;
            }
            return 0;
        }
    }
    window_ = window;
    id_ = id;
    function_ = nullptr;
    PushInput(input);
    return 0;
}

int CmdProcessor::WaitCmdMessage(uint32_t message) {
    for (;;) {
        if (cancel_pending_) {
            cancel_pending_ = false;
            // The cancel may also sit in the queue; take it out so it is not seen twice.
            if (window_) {
                Msg m;
                while (peek_message(&m, window_->cmd_win_id(), message, message, false) && m.message == message &&
                       m.wparam == kStepCancelled)
                    peek_message(nullptr, window_->cmd_win_id(), message, message, true);
            }
            return kStepCancelled;
        }
        if (!window_) return kStepCancelled;
        CmdWindow* waited = window_;
        intptr_t wp = 0, lp = 0;
        int r = msg_wait(waited->cmd_win_id(), message, &wp, &lp);
        if (r == kMsgWaitQuit) return kStepCancelled;
        if (r == kMsgWaitGone) {
            // The window closed; a command that moved on to another view waits there.
            if (window_ && window_ != waited) continue;
            if (window_ == waited) window_ = nullptr;
            return kStepCancelled;
        }
        if (lp == kRebindMark) continue;
        if (lp < 0) view_input_take_place(-lp, window_ ? window_->cmd_view() : nullptr);
        if (wp == kStepCancelled) cancel_pending_ = false;
        return static_cast<int>(wp);
    }
}

void CmdProcessor::PostCmdCode(intptr_t code) {
    if (!window_) return;
    if (!top_) {
        const intptr_t mark = code == kStepGiven ? view_input_keep_place(window_->cmd_view()) : 0;
        post_message(window_->cmd_win_id(), kMsgCmdStep, code, -mark);
        return;
    }
    NotifyInput(top_, static_cast<int>(code));
}

void CmdProcessor::NotifyInput(CCmdInput* input, int result) {
    if (!input) return;
    InputNotice n;
    n.code = result == 0 ? kNoticeStepGiven : kNoticeStepEnded;
    n.result = result;
    input->OnNotify(&n);
    if (n.result != 0 || input != top_) return;
    top_ = input->next;
    Finished(input);
    if (!top_) {
        window_ = nullptr;
        id_ = 0;
        if (!depth_) CommandEnded();
    } else {
        id_ = top_->command_id;
        // The window that shows the new top's view runs the command now.
        if (!window_ || window_->cmd_view() != top_->view) {
            CmdWindow* w = top_->view ? dynamic_cast<CmdWindow*>(top_->view->window) : nullptr;
            if (w) window_ = w;
        }
    }
}

void CmdProcessor::PushInput(CCmdInput* input) {
    InputNotice n;
    n.code = kNoticeStart;
    n.view = window_ ? window_->cmd_view() : nullptr;
    input->OnNotify(&n);
    if (n.result != 0) {
        window_ = nullptr;
        id_ = 0;
        delete input;
        return;
    }
    function_ = nullptr;
    input->next = top_;
    top_ = input;
}

void CmdProcessor::RetargetInput(CmdWindow* window) {
    if (!top_) return;
    InputNotice n;
    VIEW* v = window ? window->cmd_view() : nullptr;
    n.view = v;
    MODEL* mine = top_->view ? view_drawing(top_->view) : nullptr;
    if (!v || view_drawing(v) != mine) {
        n.code = kNoticeOtherWindow;
    } else if (top_->active) {
        if (v == top_->view) return;
        n.code = kNoticeOtherView;
    } else {
        n.code = kNoticeViewInactive;
    }
    top_->OnNotify(&n);
}

void CmdProcessor::MoveCommand(CmdWindow* window) {
    if (!window || !window_ || window == window_ || top_) return;
    CmdWindow* old = window_;
    window_ = window;
    // Wake a wait bound to the old window so that it waits on the new one.
    post_message(old->cmd_win_id(), kMsgCmdStep, 0, kRebindMark);
}

void CmdProcessor::NestInput(CmdWindow* window) {
    if (!window) {
        if (!nested_only_) return;
        nested_only_ = false;
        if (depth_ || top_) return;
        window_ = nullptr;
        id_ = 0;
        CommandEnded();
        return;
    }
    if (window_) {
        MoveCommand(window);
        return;
    }
    window_ = window;
    id_ = 0;
    function_ = nullptr;
    ran_on_ = window->cmd_win_id();
    cancel_pending_ = false;
    nested_only_ = true;
}

void CmdProcessor::WindowClosing(CmdWindow* window) {
    if (!window) return;
    if (top_) {
        if (window == window_) NotifyInput(top_, kStepCancelled);
        DropInputsOf(window->cmd_view());
        if (window_ == window) window_ = nullptr;
        return;
    }
    if (window != window_) return;
    cancel_pending_ = true;
    post_message(window->cmd_win_id(), kMsgCmdStep, kStepCancelled, 0);
    window_ = nullptr;
}

// Tools attached to a view that is going leave the stack for the finished list,
// detached from it; the next tool (if any) runs the command from its own window.
void CmdProcessor::DropInputsOf(VIEW* view) {
    if (!view) return;
    bool dropped = false;
    for (CCmdInput** link = &top_; *link;) {
        CCmdInput* t = *link;
        if (t->view != view) {
            link = &t->next;
            continue;
        }
        *link = t->next;
        t->active = 0;
        t->view = nullptr;
        Finished(t);
        dropped = true;
    }
    if (!dropped) return;
    if (!top_) {
        window_ = nullptr;
        id_ = 0;
        if (!depth_) CommandEnded();
        return;
    }
    id_ = top_->command_id;
    window_ = top_->view ? dynamic_cast<CmdWindow*>(top_->view->window) : nullptr;
}

bool CmdProcessor::OnIdle(long) {
    if (finished_) {
        CCmdInput* f = finished_;
        finished_ = f->next;
        delete f;
    }
    return finished_ != nullptr;
}

void CmdProcessor::SetBackgroundJob(int32_t* busy, void* job) {
    job_.store(job);
    if (busy) __atomic_store_n(busy, job ? 1 : 0, __ATOMIC_SEQ_CST);
}
