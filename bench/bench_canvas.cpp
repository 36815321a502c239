// The drawing window's picture: a full 1920 x 1080 repaint of 100,000 and 1,000,000
// line-work objects (background, grid, every object through the wire-frame driver
// into the 24-bit canvas), set beside QPainter::drawLines of the same segments into
// a QImage in the same run; a 16-pixel scroll (the blit and the strip repainted);
// and a mouse move with a full-window cross-hair (old one erased, new one drawn in
// XOR).
#include <benchmark/benchmark.h>

#include <QImage>
#include <QLineF>
#include <QPainter>
#include <memory>
#include <vector>

#include "graphics/view/canvas.h"
#include "graphics/view/view.h"
#include "model/db/tree.h"
#include "model/db/wire.h"
#include "model/geom/regen.h"
#include "model/math/plist.h"
#include "shell/view_paint.h"

namespace {

constexpr int kWidth = 1920, kHeight = 1080;

// A drawing of `count` two-point lines spread over the window, deterministic.
struct Scene {
    std::unique_ptr<MODEL> model;
    std::unique_ptr<VIEW> view;
    std::vector<QLineF> lines;  // the same segments in window pixels (rows down)

    explicit Scene(int count) {
        rtc_register_all();
        view_type_register();
        model = rtc_make<MODEL>();
        auto* layer = rtc_cast<LAYER>(model->first_child());
        uint32_t seed = 12345;
        auto next = [&seed] {
            seed = seed * 1664525u + 1013904223u;
            return (seed >> 8) & 0xFFFF;
        };
        lines.reserve(count);
        for (int i = 0; i < count; ++i) {
            const float x = float(next() % kWidth), y = float(next() % kHeight);
            const float x2 = x + float(int(next() % 81) - 40), y2 = y + float(int(next() % 81) - 40);
            auto l = rtc_make<XPLINE>();
            (void)plist_add(&l->control, {x2, y2, 0});
            (void)plist_add(&l->control, {x, y, 0});
            (void)regen_object(l.get());
            l->own_box();
            l->colour = int(i % 15) + 1;
            (void)container_insert(layer, l.release());
            lines.emplace_back(x, kHeight - 1 - y, x2, kHeight - 1 - y2);
        }
        view = rtc_make<VIEW>();
        model_attach_view(model.get(), view.get());
        view->projection.scale = 1.0;
        view->projection.origin_x = 0;
        view->projection.origin_y = 0;
    }
    ~Scene() {
        model_detach_view(view.get());
        view.reset();
        model.reset();
    }
};

Scene& scene(int count) {
    static std::unique_ptr<Scene> small, large;
    auto& s = count > 100000 ? large : small;
    if (!s) s = std::make_unique<Scene>(count);
    return *s;
}

void BM_CanvasRepaint(benchmark::State& state) {
    Scene& s = scene(int(state.range(0)));
    Canvas canvas;
    (void)canvas.resize(kWidth, kHeight, display_background_word());
    for (auto _ : state) {
        CanvasPainter p(canvas.image());
        view_paint_rect(s.view.get(), p, RasterRect{0, 0, kWidth - 1, kHeight - 1});
        benchmark::DoNotOptimize(canvas.row(kHeight / 2));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_CanvasRepaint)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// Peer: Qt's raster engine drawing the same segments (one pen, no projection).
void BM_QPainterDrawLines(benchmark::State& state) {
    Scene& s = scene(int(state.range(0)));
    QImage img(kWidth, kHeight, QImage::Format_RGB888);
    for (auto _ : state) {
        img.fill(Qt::lightGray);
        QPainter p(&img);
        p.setPen(QPen(Qt::black, 0));
        p.drawLines(s.lines.data(), int(s.lines.size()));
        p.end();
        benchmark::DoNotOptimize(img.constScanLine(kHeight / 2));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_QPainterDrawLines)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// A 16-pixel scroll of a 100,000-object drawing: the picture moves by a blit and
// the uncovered strip is repainted.
void BM_CanvasScroll16(benchmark::State& state) {
    Scene& s = scene(100000);
    Canvas canvas;
    (void)canvas.resize(kWidth, kHeight, display_background_word());
    {
        CanvasPainter p(canvas.image());
        view_paint_rect(s.view.get(), p, RasterRect{0, 0, kWidth - 1, kHeight - 1});
    }
    int dir = 16;
    for (auto _ : state) {
        CanvasPainter p(canvas.image());
        p.scroll(-dir, 0);
        s.view->projection.origin_x += dir;
        const RasterRect strip = dir > 0 ? RasterRect{kWidth - dir, 0, kWidth - 1, kHeight - 1}
                                         : RasterRect{0, 0, -dir - 1, kHeight - 1};
        view_paint_rect(s.view.get(), p, strip);
        dir = -dir;
    }
    s.view->projection.origin_x = 0;
}
BENCHMARK(BM_CanvasScroll16)->Unit(benchmark::kMicrosecond);

// A mouse move with the full-window cross-hair: the old one erased, the new drawn.
void BM_CrosshairMove(benchmark::State& state) {
    Canvas canvas;
    (void)canvas.resize(kWidth, kHeight, display_background_word());
    canvas.set_pen(kDrawXor, Canvas::palette_colour(7));
    int x = 100, y = 100;
    canvas.line(0, y, kWidth - 1, y);
    canvas.line(x, 0, x, kHeight - 1);
    for (auto _ : state) {
        canvas.line(0, y, kWidth - 1, y);
        canvas.line(x, 0, x, kHeight - 1);
        x = (x + 7) % kWidth;
        y = (y + 5) % kHeight;
        canvas.line(0, y, kWidth - 1, y);
        canvas.line(x, 0, x, kHeight - 1);
    }
}
BENCHMARK(BM_CrosshairMove)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
