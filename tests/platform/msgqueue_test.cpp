// The message queue: order, threads, waits (own message only, nesting, quit), the
// outer loop's quit, idle calls and timers.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/msgqueue.h"
#include "qt_test_env.h"

namespace {

// A window that records what it receives and may run a handler.
class Recorder : public MsgTarget {
  public:
    intptr_t OnMessage(uint32_t message, intptr_t wparam, intptr_t lparam) override {
        got.push_back(Msg{win_id(), message, wparam, lparam});
        if (on_message) on_message(message, wparam);
        return 1;
    }
    std::vector<Msg> got;
    std::function<void(uint32_t, intptr_t)> on_message;
};

// Ends a stuck wait with quit so that a broken queue fails the test instead of hanging.
class Watchdog {
  public:
    explicit Watchdog(int ms = 5000) {
        timer_.setSingleShot(true);
        QObject::connect(&timer_, &QTimer::timeout, [] { post_quit_message(99); });
        timer_.start(ms);
    }

  private:
    QTimer timer_;
};

// Takes a leftover WM_QUIT so the next test starts clean.
void clear_quit() {
    Msg m;
    peek_message(&m, 0, WM_QUIT, WM_QUIT, true);
}

class MsgQueueTest : public ::testing::Test {
  protected:
    void TearDown() override {
        msg_dispatch_pending();
        clear_quit();
        msg_set_idle_handler(nullptr);
    }
};

TEST_F(MsgQueueTest, DispatchesInPostingOrderAcrossWindows) {
    Recorder a, b;
    for (int i = 0; i < 6; ++i) ASSERT_TRUE(post_message(i % 2 ? b.win_id() : a.win_id(), WM_USER + i, i, -i));
    EXPECT_EQ(msg_queue_size(), 6u);
    msg_dispatch_pending();
    ASSERT_EQ(a.got.size(), 3u);
    ASSERT_EQ(b.got.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(a.got[i].wparam, 2 * i);
        EXPECT_EQ(a.got[i].lparam, -2 * i);
        EXPECT_EQ(b.got[i].message, WM_USER + 2 * i + 1);
    }
}

TEST_F(MsgQueueTest, PostsFromWorkerThreadsKeepEachThreadsOrder) {
    Recorder a;
    constexpr int kThreads = 4, kEach = 200;
    std::vector<std::thread> workers;
    for (int t = 0; t < kThreads; ++t)
        workers.emplace_back([&a, t] {
            for (int i = 0; i < kEach; ++i) post_message(a.win_id(), WM_USER, t, i);
        });
    for (auto& w : workers) w.join();
    msg_dispatch_pending();
    ASSERT_EQ(a.got.size(), size_t{kThreads * kEach});
    std::vector<intptr_t> next(kThreads, 0);
    for (const Msg& m : a.got) EXPECT_EQ(m.lparam, next[m.wparam]++);
}

TEST_F(MsgQueueTest, DeadOrUnknownWindowsGetNothing) {
    EXPECT_FALSE(post_message(0, WM_USER, 0, 0));
    WinId gone;
    {
        Recorder r;
        gone = r.win_id();
        ASSERT_TRUE(post_message(gone, WM_USER, 1, 0));
    }
    EXPECT_FALSE(post_message(gone, WM_USER, 2, 0));
    EXPECT_EQ(send_message(gone, WM_USER, 3, 0), 0);
    msg_dispatch_pending();  // the queued message for the dead window is dropped
    EXPECT_EQ(msg_queue_size(), 0u);
}

TEST_F(MsgQueueTest, WaitEndsOnlyOnItsOwnMessage) {
    Recorder cmd, other;
    Watchdog dog;
    post_message(other.win_id(), WM_USER + 1, 11, 0);  // same number, other window
    post_message(cmd.win_id(), WM_USER + 2, 12, 0);    // own window, other number
    post_message(cmd.win_id(), WM_USER + 1, 13, 77);   // the awaited one
    post_message(other.win_id(), WM_USER + 3, 14, 0);  // after it
    intptr_t w = 0, l = 0;
    ASSERT_EQ(msg_wait(cmd.win_id(), WM_USER + 1, &w, &l), kMsgWaitArrived);
    EXPECT_EQ(w, 13);
    EXPECT_EQ(l, 77);
    ASSERT_EQ(other.got.size(), 1u);
    EXPECT_EQ(other.got[0].wparam, 11);
    ASSERT_EQ(cmd.got.size(), 1u);  // the awaited message went to the wait, not the window
    EXPECT_EQ(cmd.got[0].wparam, 12);
    EXPECT_EQ(msg_queue_size(), 1u);
}

TEST_F(MsgQueueTest, NestedWaitsEachGetTheirOwnMessage) {
    Recorder outer, inner, trigger;
    Watchdog dog;
    intptr_t inner_result = -1;
    int inner_code = -1;
    trigger.on_message = [&](uint32_t, intptr_t) {
        inner_code = msg_wait(inner.win_id(), WM_USER + 1, &inner_result, nullptr);
    };
    post_message(trigger.win_id(), WM_USER, 0, 0);
    post_message(outer.win_id(), WM_USER + 1, 6, 0);  // arrives while the inner wait runs
    post_message(inner.win_id(), WM_USER + 1, 5, 0);
    intptr_t outer_result = -1;
    EXPECT_EQ(msg_wait(outer.win_id(), WM_USER + 1, &outer_result, nullptr), kMsgWaitArrived);
    EXPECT_EQ(inner_code, kMsgWaitArrived);
    EXPECT_EQ(inner_result, 5);
    EXPECT_EQ(outer_result, 6);
    EXPECT_EQ(msg_wait_depth(), 0);
}

TEST_F(MsgQueueTest, QuitDuringWaitReturnsCancelledAndStaysQueued) {
    Recorder cmd;
    QTimer::singleShot(10, [] { post_quit_message(4); });
    EXPECT_EQ(msg_wait(cmd.win_id(), WM_USER + 1, nullptr, nullptr), kMsgWaitQuit);
    int code = 0;
    ASSERT_TRUE(quit_pending(&code));
    EXPECT_EQ(code, 4);
    // A second wait started while quit is queued returns at once.
    EXPECT_EQ(msg_wait(cmd.win_id(), WM_USER + 1, nullptr, nullptr), kMsgWaitQuit);
    Msg m;
    ASSERT_TRUE(peek_message(&m, 0, 0, 0, false));
    EXPECT_EQ(m.message, WM_QUIT);
    EXPECT_EQ(m.wparam, 4);
    EXPECT_TRUE(quit_pending());  // peeking without removal leaves it
}

TEST_F(MsgQueueTest, OuterLoopDispatchesEverythingBeforeQuitting) {
    Recorder a;
    post_message(a.win_id(), WM_USER, 1, 0);
    post_quit_message(3);
    post_message(a.win_id(), WM_USER, 2, 0);  // posted after quit, still delivered first
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    guard.start(5000);
    EXPECT_EQ(QCoreApplication::exec(), 3);
    ASSERT_EQ(a.got.size(), 2u);
    EXPECT_EQ(a.got[1].wparam, 2);
    EXPECT_FALSE(quit_pending());
}

TEST_F(MsgQueueTest, QuitSeenOutsideTheEventLoopWaitsForIt) {
    Recorder a;
    post_message(a.win_id(), WM_USER, 1, 0);
    post_quit_message(5);
    msg_dispatch_pending();  // no Qt loop runs: the message goes, WM_QUIT stays
    EXPECT_EQ(a.got.size(), 1u);
    int code = 0;
    ASSERT_TRUE(quit_pending(&code));
    EXPECT_EQ(code, 5);
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    guard.start(5000);
    EXPECT_EQ(QCoreApplication::exec(), 5);  // the next loop takes it at once
    EXPECT_FALSE(quit_pending());
}

TEST_F(MsgQueueTest, WaitEndsWhenItsWindowGoes) {
    Watchdog dog;
    Recorder killer;
    auto cmd = std::make_unique<Recorder>();
    WinId id = cmd->win_id();
    // Destroyed while waiting, nothing posted to it.
    killer.on_message = [&](uint32_t, intptr_t) { cmd.reset(); };
    post_message(killer.win_id(), WM_USER, 0, 0);
    EXPECT_EQ(msg_wait(id, WM_USER + 1, nullptr, nullptr), kMsgWaitGone);
    // A message it posted before going is still the wait's answer.
    cmd = std::make_unique<Recorder>();
    id = cmd->win_id();
    killer.on_message = [&](uint32_t, intptr_t) {
        post_message(id, WM_USER + 1, -2, 0);
        cmd.reset();
    };
    post_message(killer.win_id(), WM_USER, 0, 0);
    intptr_t w = 0;
    EXPECT_EQ(msg_wait(id, WM_USER + 1, &w, nullptr), kMsgWaitArrived);
    EXPECT_EQ(w, -2);
    // A window already gone, or none, ends the wait at once.
    EXPECT_EQ(msg_wait(id, WM_USER + 1, nullptr, nullptr), kMsgWaitGone);
    EXPECT_EQ(msg_wait(0, WM_USER + 1, nullptr, nullptr), kMsgWaitGone);
    EXPECT_FALSE(quit_pending());
}

TEST_F(MsgQueueTest, PeekFiltersByWindowAndRange) {
    Recorder a, b;
    post_message(a.win_id(), WM_USER + 5, 1, 0);
    post_message(b.win_id(), WM_USER + 1, 2, 0);
    post_message(a.win_id(), WM_USER + 1, 3, 0);
    Msg m;
    ASSERT_TRUE(peek_message(&m, a.win_id(), WM_USER, WM_USER + 2, true));
    EXPECT_EQ(m.wparam, 3);
    EXPECT_FALSE(peek_message(&m, a.win_id(), WM_USER, WM_USER + 2, false));
    ASSERT_TRUE(peek_message(&m, 0, 0, 0, false));
    EXPECT_EQ(m.wparam, 1);
    EXPECT_EQ(msg_queue_size(), 2u);
}

TEST_F(MsgQueueTest, IdleRunsWhileQueueIsEmptyAndRestartsAfterMessages) {
    Recorder a;
    Watchdog dog;
    std::vector<long> counts;
    msg_set_idle_handler([&](long count) {
        counts.push_back(count);
        if (count == 2) post_message(a.win_id(), WM_USER + 1, 0, 0);
        return count < 2;
    });
    EXPECT_EQ(msg_wait(a.win_id(), WM_USER + 1, nullptr, nullptr), kMsgWaitArrived);
    EXPECT_EQ(counts, (std::vector<long>{0, 1, 2}));
    // A message starts a new idle run from 0.
    counts.clear();
    msg_set_idle_handler([&](long count) {
        counts.push_back(count);
        if (count == 0) post_message(a.win_id(), WM_USER + 2, 0, 0);
        return false;
    });
    EXPECT_EQ(msg_wait(a.win_id(), WM_USER + 2, nullptr, nullptr), kMsgWaitArrived);
    ASSERT_FALSE(counts.empty());
    EXPECT_EQ(counts.front(), 0);
}

TEST_F(MsgQueueTest, IdleCountRestartsAfterAHandlerThatWaited) {
    Recorder a, cmd;
    Watchdog dog;
    bool waited = false;
    std::vector<long> after;  // counts seen once the handler's wait is over
    a.on_message = [&](uint32_t, intptr_t) {
        msg_wait(cmd.win_id(), WM_USER + 1, nullptr, nullptr);
        waited = true;
    };
    msg_set_idle_handler([&](long count) {
        if (waited) after.push_back(count);
        else if (count == 2) post_message(cmd.win_id(), WM_USER + 1, 0, 0);
        return !waited;
    });
    post_message(a.win_id(), WM_USER, 0, 0);
    for (int i = 0; i < 100 && after.empty(); ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    ASSERT_TRUE(waited);
    ASSERT_FALSE(after.empty());
    EXPECT_EQ(after.front(), 0);

    // A handler may replace itself while it runs (sanitizer builds catch the misuse).
    std::string label(64, 'x');
    size_t seen = 0;
    msg_set_idle_handler([&seen, label](long) {
        msg_set_idle_handler(nullptr);
        seen = label.size();
        return false;
    });
    for (int i = 0; i < 100 && seen == 0; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_EQ(seen, 64u);
}

TEST_F(MsgQueueTest, TimersTickByIdUntilKilled) {
    Recorder a;
    Watchdog dog;
    int ticks_153 = 0, ticks_155 = 0;
    a.on_message = [&](uint32_t message, intptr_t id) {
        if (message != WM_TIMER) return;
        if (id == 153 && ++ticks_153 == 3) {
            EXPECT_TRUE(kill_timer(a.win_id(), 153));
            post_message(a.win_id(), WM_USER + 1, 0, 0);
        }
        if (id == 155) ++ticks_155;
    };
    ASSERT_TRUE(set_timer(a.win_id(), 153, 1));
    ASSERT_TRUE(set_timer(a.win_id(), 155, 60000));
    EXPECT_EQ(msg_wait(a.win_id(), WM_USER + 1, nullptr, nullptr), kMsgWaitArrived);
    EXPECT_EQ(ticks_153, 3);
    EXPECT_EQ(ticks_155, 0);
    EXPECT_FALSE(kill_timer(a.win_id(), 153));
    EXPECT_TRUE(kill_timer(a.win_id(), 155));
    EXPECT_FALSE(set_timer(0, 1, 10));
}

}  // namespace
