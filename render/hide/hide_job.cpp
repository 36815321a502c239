// The hidden-line removal run (declared in hide_job.h).
#include "render/hide/hide_job.h"

#include <cstdio>
#include <new>
#include <system_error>
#include <vector>

#include "commands/editcore/copy.h"
#include "model/db/find.h"
#include "model/db/patt.h"
#include "model/db/tree.h"
#include "model/db/wire.h"
#include "model/geom/regen.h"
#include "model/math/result.h"
#include "model/services/log.h"
#include "render/hide/hide_visibility.h"

int hide_job_layers(HideJob* job, bool keep_hidden) {
    MODEL* m = job->result_drawing;
    if (!m) return kBadArgument;
    job->visible_layer = static_cast<LAYER*>(model_find_named(m, "default", &LAYER::rtc_class));
    if (!job->visible_layer) {
        auto layer = rtc_make<LAYER>();
        if (!layer || layer->set_string(0, "default") != 0) return kOutOfMemory;
        job->visible_layer = layer.get();
        (void)container_insert(m, layer.release());
    }
    job->hidden_layer = nullptr;
    if (!keep_hidden) return 0;
    job->hidden_layer = static_cast<LAYER*>(model_find_named(m, "Hidden", &LAYER::rtc_class));
    if (!job->hidden_layer) {
        auto layer = rtc_make<LAYER>();
        if (!layer || layer->set_string(0, "Hidden") != 0) return kOutOfMemory;
        job->hidden_layer = layer.get();
        (void)container_insert(m, layer.release());
    }
    return 0;
}

namespace {

void status(HideJob* job, const std::string& text) {
    job->status = text;
    if (job->host) job->host->progress(0, text.c_str());
}

int run(HideJob* job) {
    HideContext ctx(job);
    HIDEITER it(&ctx, job->source);
    if (it.set_projection(job->camera) != 0) return kBadArgument;
    if (!job->drawing) return kHideNothing;
    // Bounds pass, fit, store pass.
    it.mode = kHideWalkBounds;
    job->drawing->walk(&it);
    hide_fit(&ctx);
    job->scale = ctx.scale, job->x_offset = ctx.x_offset, job->y_offset = ctx.y_offset;
    it.mode = kHideWalkStore;
    it.layer_index = 0;
    job->drawing->walk(&it);
    char text[256];
    std::snprintf(text, sizeof text, "... (%d)", ctx.counts.skipped);
    status(job, text);
    if (ctx.cancelled()) {
        job->counts = ctx.counts;
        return kHideCancelled;
    }
    hide_finish_store(&ctx);
    job->counts = ctx.counts;
    const HideCounts& c = ctx.counts;
    if (c.vertices == 0 || c.edges == 0) return kHideNothing;
    if (c.triangles == 0 && !(job->host && job->host->continue_without_hiding())) return kHideDeclined;
    std::snprintf(text, sizeof text, "V=%d T=%d E=%d S=%d", c.vertices, c.triangles, c.edges, c.skipped);
    status(job, text);
    hide_visibility(&ctx);
    job->counts = ctx.counts;
    if (ctx.counts.wrong_triangles > 0)
        log_message(LogLevel::warning, "Wrong triangle!!! (%d)", ctx.counts.wrong_triangles);
    if (ctx.counts.non_finite > 0)
        log_message(LogLevel::warning, "hidden lines: %d points that are not finite skipped", ctx.counts.non_finite);
    return ctx.cancelled() ? kHideCancelled : 0;
}

}  // namespace

int hlr_run(HideJob* job) {
    if (!job) return kBadArgument;
    if (job->host) job->host->progress(0, "");
    int result;
    try {
        result = run(job);
    } catch (const HideOutOfMemory&) {
        result = kHideNoMemory;
    } catch (const std::bad_alloc&) {
        result = kHideNoMemory;
    } catch (...) {
        result = kHideNoMemory;  // nothing leaves the worker; a container's length error counts as memory
    }
    if (result == kHideCancelled || job->cancel.load() != 0)
        result = result == kHideNoMemory ? kHideNoMemory : kHideCancelled;
    job->result = result;
    if (job->host) job->host->progress(0, nullptr);
    return result;
}

int hide_result_adopt(MODEL* from, MODEL* into) {
    if (!from || !into) return kBadArgument;
    auto* target = static_cast<CONTAINER*>(model_find_named(into, "default", &LAYER::rtc_class));
    if (!target) return kBadArgument;
    // Styles first, so the lines find theirs by name.
    std::vector<PATT*> styles;
    if (from->patterns) {
        ZDLIST* p = from->patterns;
        do {
            if (rtc_is_a(p, &LINEPATT::rtc_class)) styles.push_back(static_cast<PATT*>(p));
            p = p->next;
        } while (p != from->patterns);
    }
    for (PATT* p : styles) {
        if (model_find_patt(into, p->name(), &LINEPATT::rtc_class)) continue;
        std::unique_ptr<PATT> copy = patt_clone(p);
        if (!copy) return kOutOfMemory;
        if (model_insert_patt(into, copy.get())) copy.release();
    }
    std::vector<ZOBJ*> moved;
    auto take_children = [&](CONTAINER* src, CONTAINER* dst) {
        while (src->children) {
            auto* obj = static_cast<ZOBJ*>(src->children);
            obj_remove(obj);
            (void)container_insert(dst, obj);
            moved.push_back(obj);
        }
    };
    if (auto* visible = static_cast<CONTAINER*>(model_find_named(from, "default", &LAYER::rtc_class)))
        take_children(visible, target);
    if (auto* hidden = static_cast<CONTAINER*>(model_find_named(from, "Hidden", &LAYER::rtc_class))) {
        auto* mine = static_cast<CONTAINER*>(model_find_named(into, "Hidden", &LAYER::rtc_class));
        if (mine) {
            take_children(hidden, mine);
        } else {
            obj_remove(hidden);
            if (container_insert(into, hidden) != 0) return kBadArgument;
            for (ZDLIST* c = hidden->children; c;) {
                moved.push_back(static_cast<ZOBJ*>(c));
                c = c->next == hidden->children ? nullptr : c->next;
            }
        }
    }
    int rc = 0;
    for (ZOBJ* z : moved) {
        auto* o = rtc_cast<object>(z);
        if (!o) continue;
        object_patterns_rebind(o);
        if (int r = regen_object(o); r != 0 && rc == 0) rc = r;  // strokes of patterned lines
    }
    return rc;
}

HideWorker::~HideWorker() {
    cancel();
    join();
}

void HideWorker::start(HideJob* job, void (*done)(void*), void* arg) {
    join();
    job_ = job;
    try {
        thread_ = std::thread([job, done, arg] {
            hlr_run(job);
            if (done) done(arg);
        });
    } catch (const std::system_error&) {
        // No thread to be had: the run ends at once, out of memory.
        job->result = kHideNoMemory;
        if (job->host) job->host->progress(0, nullptr);
        if (done) done(arg);
    }
}

void HideWorker::cancel() {
    if (job_) job_->cancel.store(1);
}

void HideWorker::join() {
    if (thread_.joinable()) thread_.join();
}
