// The 3D Text command in a real window system (run under xvfb-run): the dialog
// answered by the modal hook, the outline following the pointer, one click placing
// the solid letters; screenshots of the preview and of the placed text.
#include <gtest/gtest.h>

#include <QApplication>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <functional>

#include "tests/app/gui_main.h"
#include "../app/app_session.h"
#include "commands/model3d/draw3d_settings.h"
#include "commands/model3d/text3d.h"
#include "dialogs/text3d_dialog.h"
#include "model/db/solid.h"
#include "platform/app.h"
#include "platform/dialog.h"
#include "platform/msgqueue.h"
#include "shell/drawing_doc.h"
#include "shell/mainapp.h"
#include "shell/mainframe.h"
#include "shell/sview.h"

namespace {

std::string g_dir;

int g_runners = 0;
struct StepRunner {
    std::vector<std::function<void()>> steps;
    size_t next = 0;
    int ms = 150;
    void tick() {
        if (next >= steps.size()) {
            --g_runners;
            delete this;
            return;
        }
        steps[next++]();
        QTimer::singleShot(ms, [this] { tick(); });
    }
};

void settle() {
    QTest::qWaitFor([] { return g_runners == 0; }, 10000);
    for (int i = 0; i < 5; ++i) {
        msg_dispatch_pending();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QTest::qWait(20);
    }
}

void screenshot(const char* name) {
    const char* out = getenv("ZELO_SCREENSHOT_DIR");
    if (!out) return;
    QGuiApplication::primaryScreen()->grabWindow(0).save(QString("%1/%2.png").arg(out, name));
}

TEST(Text3dGui, PreviewFollowsThePointerAndAClickPlacesTheLetters) {
    text3d_dialog_install();
    g_text3d_font = TextFontRecord{};
    g_text3d_font.file = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
    auto app = std::make_unique<CMainApp>();
    ASSERT_TRUE(app->InitInstance(""));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(app->main_frame()));
    app->main_frame()->activateWindow();
    settle();
    CSView* v = app->main_frame()->active_view();
    ASSERT_NE(v, nullptr);
    // Letters a quarter of the window high, a quarter of that deep.
    const double h = 0.25 * v->viewport()->height() / v->view()->projection.scale;
    g_draw3d.font_height = h;
    g_draw3d.font_depth = h / 4;
    g_draw3d.font_chamfer = h / 40;
    draw3d_set_text("Zelo");
    int shown = 0;
    platform_set_modal_hook([&](CDialog& d) { d.press(++shown == 1 ? IDOK : IDCANCEL); });
    auto at = [v](double fx, double fy) {
        return QPoint(int(v->viewport()->width() * fx), int(v->viewport()->height() * fy));
    };
    auto* r = new StepRunner{{[&] { QTest::mouseMove(v->viewport(), at(0.15, 0.6)); },
                              [&] { QTest::mouseMove(v->viewport(), at(0.2, 0.6)); },
                              [] { screenshot("text3d_preview"); },
                              [&] { QTest::mouseClick(v->viewport(), Qt::LeftButton, {}, at(0.2, 0.6)); }}};
    ++g_runners;
    QTimer::singleShot(r->ms, [r] { r->tick(); });
    v->OnCmdMsg(kCmdText3D, nullptr);
    settle();
    screenshot("text3d_placed");
    EXPECT_EQ(shown, 2);
    MODEL* m = v->document()->drawing();
    auto* layer = rtc_cast<LAYER>(m->first_child());
    ASSERT_NE(layer, nullptr);
    ASSERT_NE(layer->children, nullptr);
    auto* group = rtc_cast<CONTAINER>(static_cast<ZOBJ*>(layer->children));
    ASSERT_NE(group, nullptr);
    int meshes = 0;
    for (ZDLIST* p = group->children; p; p = p->next == group->children ? nullptr : p->next)
        meshes += rtc_is_a(p, &MESH3::rtc_class) ? 1 : 0;
    EXPECT_EQ(meshes, 4);
    EXPECT_EQ(m->undo_levels, 1);
    platform_set_modal_hook(nullptr);
    app_session_end(app, &settle);
}

}  // namespace

int main(int argc, char** argv) {
    return gui_test_main(argc, argv, "zelo_text3d_gui", &g_dir);
}
