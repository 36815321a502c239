// Steps of the real-window tests: user actions run one after another from the event
// loop while a command waits for input, the wait for them to end with the
// program's queues emptied, and screenshots of the screen.
#pragma once

#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QString>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <cstdlib>
#include <functional>
#include <utility>
#include <vector>

#include "app/startup/window_side.h"
#include "platform/msgqueue.h"

// Runners not yet through their steps.
inline int g_gui_runners = 0;

// Whether the program is at rest: its message queue is empty, so whatever the last
// step caused has been handled (a command waits for its next input, or has ended).
inline bool gui_at_rest() { return msg_queue_size() == 0; }

// Runs `steps` one after another from the event loop, each once the program is at
// rest after the last (looked at every few milliseconds); the runner deletes itself
// after the last step, or fails the test and drops its steps when the program has not
// come to rest within ten seconds.
struct GuiStepRunner {
    std::vector<std::function<void()>> steps;
    size_t next = 0;
    int waits = 0;
    void tick() {
        if (!gui_at_rest()) {
            if (++waits > 2000) {
                ADD_FAILURE() << "the program did not come to rest before step " << next;
                --g_gui_runners;
                delete this;
                return;
            }
            QTimer::singleShot(5, [this] { tick(); });
            return;
        }
        waits = 0;
        if (next >= steps.size()) {
            --g_gui_runners;
            delete this;
            return;
        }
        steps[next++]();
        QTimer::singleShot(5, [this] { tick(); });
    }
};

inline void gui_schedule(std::vector<std::function<void()>> steps) {
    auto* r = new GuiStepRunner{std::move(steps), 0};
    ++g_gui_runners;
    QTimer::singleShot(5, [r] { r->tick(); });
}

// Dispatches what the program's message queue and Qt's deferred deletes hold, a few
// rounds with short waits between.
inline void gui_flush() {
    for (int i = 0; i < 5; ++i) {
        msg_dispatch_pending();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QTest::qWait(20);
    }
}

// Waits (a minute at the most) for every scheduled runner to end, then flushes.
inline void gui_settle() {
    EXPECT_TRUE(QTest::qWaitFor([] { return g_gui_runners == 0; }, 60000)) << "GUI steps still pending";
    gui_flush();
}

// Starts `app` (a CMainApp) with no file, waits for its main window on the screen,
// brings it forward and lets the start-up settle. False when any step fails.
template <class App>
bool gui_start(App& app) {
    if (!app_start(app, "") || !QTest::qWaitForWindowExposed(app.main_frame())) return false;
    app.main_frame()->activateWindow();
    gui_settle();
    return true;
}

// As gui_start, and waits until the main window is the active one before the settling;
// fails the test at the first step that fails.
template <class App>
void gui_start_active(App& app) {
    ASSERT_TRUE(app_start(app, ""));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(app.main_frame()));
    app.main_frame()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(app.main_frame()));
    gui_settle();
}

// Saves the whole screen as <name>.png in $ZELO_SCREENSHOT_DIR when that is set.
inline void gui_screenshot(const char* name) {
    if (const char* out = std::getenv("ZELO_SCREENSHOT_DIR"))
        QGuiApplication::primaryScreen()->grabWindow(0).save(QString("%1/%2.png").arg(out, name));
}
