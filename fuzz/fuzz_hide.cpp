// Fuzz target for the hidden-line removal: a drawing file (after 4 header bytes) run
// through the parallel projection of an oblique view and through its first camera (or
// a fixed one), with Keep hidden, the angular and the linear tolerance taken from the
// header. Every run ends with a documented result (0, 1, 2, 4 when the work limit
// stops it, 13 for an unusable camera), without crashing, hanging or tripping the
// sanitizers, and every line it draws has finite coordinates.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "fuzz/drawing_setup.h"
#include "graphics/view/view.h"
#include "model/db/find.h"
#include "model/db/solid.h"
#include "model/db/wire.h"
#include "model/file/drawing_file.h"
#include "model/file/records.h"
#include "model/math/matrix.h"
#include "model/services/log.h"
#include "render/hide/hide_job.h"

namespace {

constexpr size_t kHeader = 4;

struct Quiet : HideHost {
    void progress(int, const char*) override {}
    bool continue_without_hiding() override { return true; }
};

void check_finite(LAYER* layer) {
    if (!layer || !layer->children) return;
    ZDLIST* c = layer->children;
    do {
        if (auto* l = rtc_cast<XPLINE>(c))
            for (const PointNode* p = l->control; p; p = p->next)
                if (!std::isfinite(p->x) || !std::isfinite(p->y)) std::abort();
        c = c->next;
    } while (c != layer->children);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = [] {
        fuzz_drawing_setup();
        return true;
    }();
    (void)ready;
    if (size < kHeader) return 0;
    std::unique_ptr<MODEL> model = rtc_make<MODEL>();
    if (!model) std::abort();
    if (drawing_file_import_memory(data + kHeader, size - kHeader, model.get()) == 0) {
        auto view = rtc_make<VIEW>();
        // An oblique view from (1, -0.8, 1.3).
        view->projection.view = {{0.6247, -0.4556, 0.6337, 0.7809, 0.3645, -0.5070, 0, 0.8122, 0.5834, 0, 0, 0}};
        mat_invert(&view->projection.inverse, &view->projection.view);
        CAMERA* camera = nullptr;
        for (ZOBJ* z = model.get(); z && !camera; z = tree_next(z, model.get())) camera = rtc_cast<CAMERA>(z);
        auto fixed = rtc_make<CAMERA>();
        fixed->position = {30, -40, 25};
        fixed->up = {0, 0, 1};
        fixed->lens = 1.0;
        for (int pass = 0; pass < 2; ++pass) {
            Quiet host;
            auto result = rtc_make<MODEL>();
            HideJob job;
            job.source = view.get();
            job.drawing = model.get();
            job.result_drawing = result.get();
            job.camera = pass == 0 ? nullptr : (camera && (data[0] & 2) ? camera : fixed.get());
            job.settings.angular = (data[1] % 46) * 3.14159265358979 / 180.0;
            job.settings.linear = data[2] / 64.0;
            job.settings.width = 50 + data[3];
            job.host = &host;
            job.work_cap = 200000;
            if (hide_job_layers(&job, data[0] & 1) != 0) std::abort();
            const int rc = hlr_run(&job);
            if (rc != 0 && rc != 1 && rc != 2 && rc != 4 && rc != 13) std::abort();
            check_finite(job.visible_layer);
            check_finite(job.hidden_layer);
        }
        model_detach_view(view.get());
    }
    drawing_file_drop_views(model.get());
    return 0;
}
