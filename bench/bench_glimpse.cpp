// The preview window's frame time: a 1,000,000-triangle surface (707 x 707 cells of a
// gentle height field) drawn by the preview view at 1920 x 1080 through the
// OpenGL the system offers (Mesa's llvmpipe where there is no GPU), at detail 100%
// and 25% (mesh reduction keeps at least half of the triangles). Reported: the paint
// time (to glFinish) per frame and frames per second. Needs an X display: without
// one the program starts itself again under xvfb-run.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <QMainWindow>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/peer_mesh.h"
#include "glpreview/glimpse_view.h"
#include "model/db/tree.h"
#include "model/material/material.h"
#include "model/db/zobj.h"

namespace {

struct Fixture {
    std::unique_ptr<MODEL> model;
    MESH3* mesh = nullptr;
    Fixture() {
        rtc_register_all();
        model = rtc_make<MODEL>();
        auto m = peer_to_mesh(peer_grid(707));
        m->material->colour[0] = 0.3f, m->material->colour[1] = 0.6f, m->material->colour[2] = 0.9f;
        mesh = m.get();
        (void)container_insert(static_cast<CONTAINER*>(model->first_child()), m.release());
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

void BM_GlimpseFrame(benchmark::State& state) {
    Fixture& f = fixture();
    QMainWindow window;
    auto* view = new CGLimpseView(f.model.get(), nullptr, &window);
    window.setCentralWidget(view);
    window.resize(1920, 1080);
    window.show();
    view->set_detail(double(state.range(0)));
    QApplication::processEvents();
    view->repaint();  // the first paint sets the context up
    double total_ms = 0;
    for (auto _ : state) {
        view->orbit(0.01, 0);  // a new picture each frame
        view->repaint();
        total_ms += view->last_paint_ms();
        state.SetIterationTime(view->last_paint_ms() / 1000.0);
    }
    state.counters["triangles"] = double(view->scene().triangle_count());
    state.counters["fps"] = total_ms > 0 ? 1000.0 * double(state.iterations()) / total_ms : 0.0;
    state.counters["width"] = view->width();
    state.counters["height"] = view->height();
    view->set_detail(100);
}
BENCHMARK(BM_GlimpseFrame)->Arg(100)->Arg(25)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
    if (!std::getenv("DISPLAY") && !std::getenv("ZELO_BENCH_UNDER_XVFB")) {
        // Again under a virtual display of the benchmark's size.
        setenv("ZELO_BENCH_UNDER_XVFB", "1", 1);
        std::vector<char*> args = {const_cast<char*>("xvfb-run"), const_cast<char*>("-a"), const_cast<char*>("-s"),
                                   const_cast<char*>("-screen 0 1920x1080x24")};
        for (int i = 0; i < argc; ++i) args.push_back(argv[i]);
        args.push_back(nullptr);
        execvp("xvfb-run", args.data());
        return 1;  // no xvfb-run
    }
    setenv("QT_QPA_PLATFORM", "xcb", 0);
    // The detail setting goes to a settings file of the run's own, not the user's.
    char dir[] = "/tmp/zelo_bench_glimpse_XXXXXX";
    if (mkdtemp(dir)) setenv("XDG_CONFIG_HOME", dir, 1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
