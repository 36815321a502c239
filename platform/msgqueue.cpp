// The message FIFO, its dispatcher on the Qt event loop, nested waits, idle calls
// and timers.
#include "platform/msgqueue.h"

#include <QCoreApplication>
#include <QEvent>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <deque>
#include <map>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace {

const QEvent::Type kWakeEvent = static_cast<QEvent::Type>(QEvent::User + 0x5A1);

struct WaitRecord {
    WinId window;
    uint32_t message;
    bool arrived = false;
    bool gone = false;  // its window was destroyed
    intptr_t wparam = 0;
    intptr_t lparam = 0;
};

struct QueueState {
    std::mutex mutex;
    std::deque<Msg> queue;
    bool quit = false;
    int quit_code = 0;
    std::unordered_map<WinId, MsgTarget*> targets;
    WinId next_id = 1;
};

QueueState& state() {
    static QueueState s;
    return s;
}

std::atomic<QObject*> g_dispatcher{nullptr};
std::atomic<bool> g_wake_posted{false};
// Held while posting to the dispatcher and while it is being destroyed, so that a
// worker thread never posts to a dispatcher that the application is deleting.
std::mutex g_dispatcher_mutex;

// User-interface thread only.
std::vector<WaitRecord*> g_waits;
IdleHandler g_idle;
long g_idle_count = 0;
QTimer* g_idle_timer = nullptr;
std::map<std::pair<WinId, uint32_t>, QTimer*> g_timers;
bool g_quit_retry_armed = false;

void schedule_wake() {
    std::lock_guard<std::mutex> lock(g_dispatcher_mutex);
    QObject* d = g_dispatcher.load();
    if (!d || g_wake_posted.exchange(true)) return;
    QCoreApplication::postEvent(d, new QEvent(kWakeEvent));
}

MsgTarget* find_target(WinId id) {
    QueueState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    auto it = s.targets.find(id);
    return it == s.targets.end() ? nullptr : it->second;
}

void start_idle() {
    if (g_idle && g_idle_timer && !g_idle_timer->isActive()) g_idle_timer->start(0);
}

// WM_QUIT seen while no Qt event loop runs: QCoreApplication::exit would be lost,
// so look again from the next loop's first pass.
void arm_quit_retry() {
    QObject* d = g_dispatcher.load();
    if (!d || g_quit_retry_armed) return;
    g_quit_retry_armed = true;
    QTimer::singleShot(0, d, [] {
        g_quit_retry_armed = false;
        schedule_wake();
    });
}

// Takes the first queued message for `window` numbered `message` into the wait.
bool take_queued(WaitRecord* w) {
    QueueState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    for (auto it = s.queue.begin(); it != s.queue.end(); ++it) {
        if (it->window != w->window || it->message != w->message) continue;
        w->arrived = true;
        w->wparam = it->wparam;
        w->lparam = it->lparam;
        s.queue.erase(it);
        return true;
    }
    return false;
}

void dispatch_one() {
    QueueState& s = state();
    Msg m;
    bool have = false;
    bool quit = false;
    bool quit_later = false;
    int quit_code = 0;
    bool more = false;
    // Only a running event loop can be ended; outside one, WM_QUIT stays queued.
    const bool in_loop = QThread::currentThread()->loopLevel() > 0;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        if (!s.queue.empty()) {
            m = s.queue.front();
            s.queue.pop_front();
            have = true;
        }
        // The outermost loop takes WM_QUIT once every other message is gone.
        if (!have && s.quit && g_waits.empty()) {
            if (in_loop) {
                quit = true;
                quit_code = s.quit_code;
                s.quit = false;
            } else {
                quit_later = true;
            }
        }
        more = have && (!s.queue.empty() || s.quit);
    }
    // Schedule the next one before dispatching: the handler may run a nested wait.
    if (more) schedule_wake();
    if (quit) {
        QCoreApplication::exit(quit_code);
        return;
    }
    if (!have) {
        if (quit_later) arm_quit_retry();
        start_idle();
        return;
    }
    g_idle_count = 0;
    for (auto it = g_waits.rbegin(); it != g_waits.rend(); ++it) {
        WaitRecord* w = *it;
        if (!w->arrived && w->window == m.window && w->message == m.message) {
            w->arrived = true;
            w->wparam = m.wparam;
            w->lparam = m.lparam;
            return;
        }
    }
    if (MsgTarget* target = find_target(m.window)) target->OnMessage(m.message, m.wparam, m.lparam);
    // The handler may have run a wait with idle calls of its own: a new idle run
    // starts from 0 after it.
    g_idle_count = 0;
    if (msg_queue_size() == 0) start_idle();
}

class Dispatcher : public QObject {
  public:
    Dispatcher() {
        g_idle_timer = new QTimer(this);
        g_idle_timer->setSingleShot(true);
        QObject::connect(g_idle_timer, &QTimer::timeout, [] {
            if (!g_idle || msg_queue_size() > 0) return;
            IdleHandler handler = g_idle;  // the handler may replace itself
            if (handler(g_idle_count++)) start_idle();
        });
    }
    ~Dispatcher() override {
        {
            std::lock_guard<std::mutex> lock(g_dispatcher_mutex);
            g_dispatcher.store(nullptr);
        }
        g_quit_retry_armed = false;
        g_idle_timer = nullptr;
        g_timers.clear();  // the timers are children, deleted with this object
    }

    bool event(QEvent* e) override {
        if (e->type() != kWakeEvent) return QObject::event(e);
        g_wake_posted.store(false);
        dispatch_one();
        return true;
    }
};

}  // namespace

MsgTarget::MsgTarget() {
    QueueState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    id_ = s.next_id++;
    s.targets[id_] = this;
}

MsgTarget::~MsgTarget() {
    {
        QueueState& s = state();
        std::lock_guard<std::mutex> lock(s.mutex);
        s.targets.erase(id_);
    }
    // A wait for this window could never end otherwise.
    for (WaitRecord* w : g_waits)
        if (w->window == id_) w->gone = true;
    for (auto it = g_timers.begin(); it != g_timers.end();) {
        if (it->first.first == id_) {
            it->second->stop();
            it->second->deleteLater();
            it = g_timers.erase(it);
        } else {
            ++it;
        }
    }
}

void msg_queue_attach() {
    if (g_dispatcher.load()) return;
    QObject* d = new Dispatcher();
    d->setParent(QCoreApplication::instance());
    g_dispatcher.store(d);
    g_wake_posted.store(false);
    QueueState& s = state();
    bool pending;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        pending = !s.queue.empty() || s.quit;
    }
    if (pending) schedule_wake();
}

bool post_message(WinId window, uint32_t message, intptr_t wparam, intptr_t lparam) {
    QueueState& s = state();
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        if (window == 0 || !s.targets.count(window)) return false;
        s.queue.push_back(Msg{window, message, wparam, lparam});
    }
    schedule_wake();
    return true;
}

intptr_t send_message(WinId window, uint32_t message, intptr_t wparam, intptr_t lparam) {
    MsgTarget* target = find_target(window);
    return target ? target->OnMessage(message, wparam, lparam) : 0;
}

void post_quit_message(int code) {
    QueueState& s = state();
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        s.quit = true;
        s.quit_code = code;
    }
    schedule_wake();
}

bool quit_pending(int* code) {
    QueueState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (s.quit && code) *code = s.quit_code;
    return s.quit;
}

bool peek_message(Msg* out, WinId window, uint32_t first, uint32_t last, bool remove) {
    QueueState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    bool any_number = first == 0 && last == 0;
    for (auto it = s.queue.begin(); it != s.queue.end(); ++it) {
        if (window != 0 && it->window != window) continue;
        if (!any_number && (it->message < first || it->message > last)) continue;
        if (out) *out = *it;
        if (remove) s.queue.erase(it);
        return true;
    }
    if (s.quit && (any_number || (WM_QUIT >= first && WM_QUIT <= last))) {
        if (out) *out = Msg{0, WM_QUIT, s.quit_code, 0};
        if (remove) s.quit = false;
        return true;
    }
    return false;
}

size_t msg_queue_size() {
    QueueState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.queue.size();
}

int msg_wait(WinId window, uint32_t message, intptr_t* wparam, intptr_t* lparam) {
    // Without an event loop nothing could ever arrive: cancelled, never a hang.
    if (!QCoreApplication::instance() || !g_dispatcher.load()) return kMsgWaitQuit;
    WaitRecord rec{window, message};
    rec.gone = !find_target(window);
    g_waits.push_back(&rec);
    // Anything queued before the wait began still has to be dispatched.
    schedule_wake();
    while (!rec.arrived && !rec.gone && !quit_pending())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    g_waits.pop_back();
    // The window went away: its message, when it posted one first, is still the answer.
    if (!rec.arrived && rec.gone && !quit_pending() && !take_queued(&rec)) return kMsgWaitGone;
    if (!rec.arrived) {
        // Leave WM_QUIT for the outer loop, and make sure that loop looks at it.
        schedule_wake();
        return kMsgWaitQuit;
    }
    if (wparam) *wparam = rec.wparam;
    if (lparam) *lparam = rec.lparam;
    return kMsgWaitArrived;
}

int msg_wait_depth() { return static_cast<int>(g_waits.size()); }

IdleHandler msg_set_idle_handler(IdleHandler handler) {
    IdleHandler old = std::move(g_idle);
    g_idle = std::move(handler);
    g_idle_count = 0;
    if (msg_queue_size() == 0) start_idle();
    return old;
}

void msg_dispatch_pending() {
    for (int pass = 0; pass < 100000; ++pass) {
        if (msg_queue_size() == 0 && !g_wake_posted.load()) break;
        if (msg_queue_size() > 0) schedule_wake();
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
}

bool set_timer(WinId window, uint32_t id, unsigned ms) {
    QObject* d = g_dispatcher.load();
    if (!d || !find_target(window)) return false;
    auto key = std::make_pair(window, id);
    QTimer*& timer = g_timers[key];
    if (!timer) {
        timer = new QTimer(d);
        QObject::connect(timer, &QTimer::timeout, [window, id] {
            if (MsgTarget* target = find_target(window)) target->OnMessage(WM_TIMER, id, 0);
            else kill_timer(window, id);
        });
    }
    timer->start(static_cast<int>(ms));
    return true;
}

bool kill_timer(WinId window, uint32_t id) {
    auto it = g_timers.find(std::make_pair(window, id));
    if (it == g_timers.end()) return false;
    it->second->stop();
    it->second->deleteLater();
    g_timers.erase(it);
    return true;
}
