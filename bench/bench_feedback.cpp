// Cursor feedback per mouse move on a 1920 x 1080 canvas: the full-window XOR
// crosshair, and a rubber box with a 30-degree crosshair, each erased at the old
// position and drawn at the new one, as the drawing view does. Peer in the same run
// (when Qt is present): the same crosshair through QPainter's XOR raster operation on
// a 24-bit QImage.
#include <benchmark/benchmark.h>

#include "bench/quiet_host.h"
#include "commands/input/feedback.h"
#include "commands/input/support.h"
#include "graphics/view/canvas.h"
#include "graphics/view/view.h"
#include "graphics/view/view_gdi.h"
#include "graphics/view/view_host.h"
#include "model/math/scalar.h"

#if ZELO_BENCH_QT
#include <QImage>
#include <QPainter>
#endif

namespace {

constexpr int kWidth = 1920, kHeight = 1080;

// A window with a canvas and a host that hands it out; nothing else.
struct Screen : ViewWindow, QuietViewHost {
    Canvas surface;
    DrawingDocument doc;
    std::unique_ptr<MODEL> model;
    std::unique_ptr<VIEW> view;
    Screen() {
        rtc_register_all();
        view_type_register();
        (void)surface.resize(kWidth, kHeight, 0);
        model = rtc_make<MODEL>();
        model->document = &doc;
        view = rtc_make<VIEW>();
        model_attach_view(model.get(), view.get());
        view->window = this;
        view_host_install(this);
        view_set_xor(view.get());
        view_input_state(view.get())->points[0] = {400, 300, 0};
    }
    void client_size(int* w, int* h) const override { *w = kWidth, *h = kHeight; }
    void parent_client_size(int* w, int* h) const override { *w = kWidth, *h = kHeight; }
    bool get_placement(FramePlacement*) const override { return false; }
    void set_placement(const FramePlacement&) override {}
    void invalidate(const WindowRect*, bool) override {}
    void update_now() override {}
    void draw_object(object*, int) override {}
    MODEL* first_drawing() override { return model.get(); }
    int wait_step() override { return -2; }
    VIEW* command_view() override { return view.get(); }
    Canvas* canvas(VIEW*) override { return &surface; }
};

Screen& screen() {
    static Screen s;
    return s;
}

void moves(benchmark::State& state, InputMoveFn fn, double angle) {
    Screen& s = screen();
    view_set_cursor_angle(s.view.get(), angle);
    int x = 600, y = 500;
    fn(s.view.get(), x, y);
    for (auto _ : state) {
        fn(s.view.get(), x, y);  // erase at the old place
        x = 600 + (x * 7 + 13) % 700;
        y = 300 + (y * 5 + 11) % 500;
        fn(s.view.get(), x, y);  // draw at the new one
    }
    fn(s.view.get(), x, y);
    state.SetItemsProcessed(state.iterations());
}

void BM_XorCrosshairMove(benchmark::State& state) { moves(state, cursor_draw_crosshair, 0.0); }
BENCHMARK(BM_XorCrosshairMove)->Unit(benchmark::kMicrosecond);

void BM_XorRubberBoxMove30(benchmark::State& state) { moves(state, cursor_draw_rubber_box, kPi / 6); }
BENCHMARK(BM_XorRubberBoxMove30)->Unit(benchmark::kMicrosecond);

#if ZELO_BENCH_QT
void BM_QPainterXorCrosshairPeer(benchmark::State& state) {
    QImage img(kWidth, kHeight, QImage::Format_RGB888);
    img.fill(Qt::black);
    QPainter p(&img);
    p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    p.setPen(QColor(192, 192, 192));
    int x = 600, y = 500;
    auto cross = [&](int cx, int cy) {
        p.drawLine(0, cy, kWidth - 1, cy);
        p.drawLine(cx, 0, cx, kHeight - 1);
    };
    cross(x, y);
    for (auto _ : state) {
        cross(x, y);
        x = 600 + (x * 7 + 13) % 700;
        y = 300 + (y * 5 + 11) % 500;
        cross(x, y);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_QPainterXorCrosshairPeer)->Unit(benchmark::kMicrosecond);
#endif

}  // namespace

BENCHMARK_MAIN();
