// The render job: private drawing copy, worker thread, frame loop and outputs.
#include "render/job/render_job.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <unordered_map>

#include "graphics/raster/raster.h"
#include "imaging/movie/flic_writer.h"
#include "imaging/movie/mpeg_writer.h"
#include "model/db/buffer.h"
#include "model/db/find.h"
#include "model/db/solid.h"
#include "model/db/track.h"
#include "model/db/track_eval.h"
#include "model/db/zobj.h"
#include "model/math/result.h"
#include "model/rtc/rtc.h"
#include "model/services/strtab.h"
#include "render/scanline/render_mesh.h"
#include "resources/string_ids.h"

namespace {

constexpr uint32_t kStrNoLight = IDS_RENDER_NO_LIGHT;  // "No light in the scene"

RenderJobFrameHook g_frame_hook;

// Pairs every object of the original tree with its copy (rtc_clone keeps the order).
// Both trees in step, in pre-order without recursion (groups nest as deep as a file
// may hold).
void map_tree(ZOBJ* a, ZOBJ* b, std::unordered_map<const ZOBJ*, ZOBJ*>* map) {
    for (ZOBJ *x = a, *y = b; x && y; x = tree_next(x, a), y = tree_next(y, b)) (*map)[x] = y;
}

// Every light and mesh of the copy (lights first), or the mapped selection and every
// light for "Selected only". 0 or 8; an empty selection leaves *out null.
int collect_objects(MODEL* copy, const buffer* selection,
                    const std::unordered_map<const ZOBJ*, ZOBJ*>& map, bool selected_only, buffer** out) {
    *out = nullptr;
    std::vector<ZOBJ*> lights, meshes;
    std::vector<ZOBJ*> stack{copy};
    while (!stack.empty()) {
        ZOBJ* z = stack.back();
        stack.pop_back();
        if (rtc_is<LIGHT>(z)) lights.push_back(z);
        else if (rtc_is<MESH3>(z)) meshes.push_back(z);
        if (auto* c = rtc_cast<CONTAINER>(z); c && c->children) {
            ZDLIST* x = c->children;
            do stack.push_back(static_cast<ZOBJ*>(x)), x = x->next;
            while (x && x != c->children);
        }
    }
    std::vector<ZOBJ*> chosen;
    if (selected_only) {
        for (const RefNode* n = selection ? selection->refs : nullptr; n; n = n->next)
            if (auto it = map.find(n->ref); n->ref && it != map.end()) chosen.push_back(it->second);
        if (chosen.empty()) return 0;
        chosen.insert(chosen.end(), lights.begin(), lights.end());
    } else {
        chosen = lights;
        chosen.insert(chosen.end(), meshes.begin(), meshes.end());
    }
    buffer* b = buffer_create();
    if (!b) return kOutOfMemory;
    for (ZOBJ* z : chosen)
        if (buffer_add(b, z) == kOutOfMemory) {
            buffer_free(&b);
            return kOutOfMemory;
        }
    *out = b;
    return 0;
}

}  // namespace

void render_settings_read(const VIEW& v, RenderSettings* s) {
    s->background_colour = v.material_colour;
    s->light_mask = static_cast<uint32_t>(v.setting_a);
    for (int i = 0; i < 16; ++i) s->light_colours[i] = v.colours[i];
    s->flags = static_cast<uint32_t>(v.flags);
    s->perspective = v.setting_b;
    s->trace_depth = v.words5[0];
    s->gamma = static_cast<float>(v.setting_c);
}

void render_settings_write(VIEW* v, const RenderSettings& s) {
    v->material_colour = s.background_colour;
    v->setting_a = static_cast<decltype(v->setting_a)>(s.light_mask);
    for (int i = 0; i < 16; ++i) v->colours[i] = s.light_colours[i];
    v->flags = static_cast<decltype(v->flags)>(s.flags);
    v->setting_b = s.perspective;
    v->words5[0] = s.trace_depth;
    v->setting_c = s.gamma;
}

RenderJob::RenderJob() = default;

RenderJob::~RenderJob() {
    request_stop();
    if (worker_.joinable()) worker_.join();
    output_.abort();
    if (objects_) buffer_free(&objects_);
    material_init(&settings_.material);
    if (dc_) image_dc_free(dc_);
    if (image_) image_free(image_);
}

int RenderJob::start(const RenderJobSetup& setup) {
    if (!setup.drawing || !setup.view || !setup.camera || !setup.sink || !setup.render || worker_.joinable())
        return kBadArgument;
    setup_ = setup;
    original_ = setup.drawing;
    const RenderJobOptions& o = setup_.options;
    int err = render_job_image_size(o, setup.client_width, setup.client_height, &width_, &height_);
    if (err) {
        // Settings the job cannot use: no file is at fault (a file name would make
        // 13 read as the system's "permission denied").
        setup_.sink->error(err, std::string());
        return err;
    }
    // The private copies, made here on the user-interface thread.
    render_settings_read(*setup.view, &settings_);
    projection_ = setup.view->projection;
    layer_flags_ = setup.view->layer_state.flags;
    layers_.flags = layer_flags_.data();
    layers_.count = layer_flags_.size();
    // Out of memory is told like any other failure to start.
    auto out_of_memory = [this] {
        setup_.sink->error(kOutOfMemory, std::string());
        return kOutOfMemory;
    };
    if (rtc_clone(&copy_, original_) || !copy_ || rtc_clone(&camera_, setup.camera) || !camera_)
        return out_of_memory();
    drawing_ = static_cast<MODEL*>(copy_.get());
    drawing_->frame_count = original_->frame_count;
    drawing_->current_frame = -1;
    auto* camera = static_cast<CAMERA*>(camera_.get());
    if (camera->lens == -1.0) settings_.flags &= ~kRenderPerspective;
    std::unordered_map<const ZOBJ*, ZOBJ*> map;
    try {
        map_tree(original_, drawing_, &map);
    } catch (const std::bad_alloc&) {
        return out_of_memory();
    }
    camera_object_ = o.camera_name.empty() ? nullptr
                         : rtc_cast<CAMERA>(model_find_named(drawing_, o.camera_name.c_str(), &CAMERA::rtc_class));
    // A named camera is looked through, whatever the viewport's own perspective choice.
    if (camera_object_ && camera->lens != -1.0) settings_.flags |= kRenderPerspective;
    // The scene: the camera's material, else the view's scene material (not its current one).
    const MaterialRecord* background = camera_object_ && camera_object_->material
                                           ? camera_object_->material
                                           : &setup.view->second_material;
    if (material_copy(&settings_.material, background)) return out_of_memory();
    const bool selected_only = settings_.flags & kRenderSelectedOnly;
    if (!(settings_.flags & kRenderPerspective) || selected_only) {
        if (collect_objects(drawing_, setup.view->selection, map, selected_only, &objects_))
            return out_of_memory();
    }
    settings_.objects = objects_;
    // Frames: those of the named camera's animation (the drawing's when the viewport is
    // rendered); fewer than two frames render one image. The copy's frame count is
    // that of the run, so the camera's tracks apply at every frame of it.
    const int32_t count = render_job_frame_count(drawing_, camera_object_);
    animation_ = o.animation && render_job_animates(count);
    first_ = 0, end_ = 1;
    if (animation_ && !render_job_frame_range(o.first_frame, o.last_frame, count, &first_, &end_))
        animation_ = false, first_ = 0, end_ = 1;
    if (animation_) drawing_->frame_count = count;
    // A movie that cannot hold the frames or the image size is refused before any file
    // is made, naming the limit.
    if (const std::string limit = animation_ ? render_job_limit_text(o.output_kind, end_ - first_, width_, height_)
                                             : std::string();
        !limit.empty()) {
        setup_.sink->error_text(kBadArgument, limit);
        return kBadArgument;
    }
    image_ = image_create_ex(width_, height_, 1, 24, nullptr);
    dc_ = image_ ? image_dc_create(image_) : nullptr;
    try {
        rgb_.assign(static_cast<size_t>(width_) * height_ * 3, 0);
    } catch (const std::bad_alloc&) {
        return out_of_memory();
    }
    if (!dc_) return out_of_memory();
    std::string failed;
    if (animation_ && o.output_kind == kOutputMpeg) {
        MpegParams p;
        p.frame_count = end_ - first_, p.width = width_, p.height = height_;
        std::snprintf(p.output, sizeof p.output, "%s", o.output.c_str());
        std::snprintf(p.pattern, sizeof p.pattern, "IPPP");
        if (o.output.size() >= sizeof p.output) err = ENAMETOOLONG;
        else err = mpeg_setup(p);
        if (err == kMpegOpenFailed && mpeg_last_open_errno()) err = mpeg_last_open_errno();
        failed = o.output;
    } else if (animation_) {
        err = output_.open(o, width_, height_, end_ - first_, &failed);
    }
    if (err) {
        setup_.sink->error(err, failed);
        return err;
    }
    start_time_ = static_cast<int64_t>(std::time(nullptr));
    stop_ = false;
    running_ = true;
    try {
        worker_ = std::thread([this] { run(); });
    } catch (...) {
        running_ = false;
        if (animation_ && o.output_kind == kOutputMpeg) mpeg_release();
        output_.abort();
        return out_of_memory();
    }
    return 0;
}

int RenderJob::poll(int32_t, int32_t, int32_t, void* self) {
    return static_cast<RenderJob*>(self)->stop_.load() ? 1 : 0;
}

void RenderJob::copy_rows(int32_t y0, int32_t y1) {
    size_t bytes = 0;
    const uint8_t* px = image_pixels(image_, &bytes);
    const size_t stride = bytes / static_cast<size_t>(height_);
    for (int32_t y = y0; y <= y1; ++y) {
        const uint8_t* s = px + stride * y;
        uint8_t* d = rgb_.data() + static_cast<size_t>(y) * width_ * 3;
        for (int32_t x = 0; x < width_; ++x, s += 3, d += 3) d[0] = s[2], d[1] = s[1], d[2] = s[0];
    }
}

int RenderJob::rows_done(ImageDC*, int32_t y0, int32_t y1, void* self) {
    auto* job = static_cast<RenderJob*>(self);
    if (job->stop_.load()) return 1;
    if (y0 < 0 || y1 < 0) return 0;
    if (y0 > y1) std::swap(y0, y1);
    if (y1 >= job->height_) y1 = job->height_ - 1;
    if (y0 > y1) return 0;
    job->copy_rows(y0, y1);
    job->setup_.sink->rows(y0, y1, job->rgb_.data() + static_cast<size_t>(y0) * job->width_ * 3, job->width_);
    return 0;
}

int RenderJob::render_frame(int32_t frame) {
    auto* camera = static_cast<CAMERA*>(camera_.get());
    if (frame >= 0) {
        drawing_->current_frame = frame;
        if (camera_object_) {
            if (obj_apply_frame(camera_object_)) camera_apply_frame(camera, camera_object_, frame);
            else camera_apply_frame(camera, camera_object_, -1);
        }
        setup_.sink->caption(setup_.title + " #" + std::to_string(frame + 1));
        if (g_frame_hook) g_frame_hook(*this, frame);
    }
    std::vector<uint8_t> blank(static_cast<size_t>(width_) * 3, 0);
    for (int32_t y = 0; y < height_; ++y) dc_->write_row(dc_, 0, y, width_, blank.data(), blank.size(), 0);
    const int rc = setup_.render(dc_, &settings_, &projection_, drawing_, &layers_, camera, poll, rows_done, this);
    if (rc == 0 && render_last_found_no_light()) no_light_ = true;
    if (rc == 0) copy_rows(0, height_ - 1);
    if (rc != 0 && rc != kRenderJobStopped) message_ = render_last_message();
    return stop_.load() && rc == 0 ? kRenderJobStopped : rc;
}

// A stopped frame ends an MPEG movie as a stop ends the other movies.
static_assert(kRenderJobStopped == kMpegSourceStop);

int RenderJob::mpeg_source(int frame, int, uint8_t* rgb, void* self) {
    auto* job = static_cast<RenderJob*>(self);
    const int rc = job->render_frame(job->first_ + frame);
    if (rc == 0) std::memcpy(rgb, job->rgb_.data(), job->rgb_.size());
    return rc;
}

void RenderJob::run() {
    int rc = 0;
    std::string failed;
    const int kind = setup_.options.output_kind;
    if (!animation_) {
        rc = render_frame(-1);
    } else if (kind == kOutputMpeg) {
        mpeg_set_frame_source(mpeg_source);
        rc = mpeg_encode(this);
        failed = setup_.options.output;
    } else {
        int32_t written = 0;
        for (int32_t i = first_; i < end_ && rc == 0; ++i) {
            rc = render_frame(i);
            if (rc == 0) rc = output_.add(rgb_.data(), i, &failed);
            if (rc == 0) ++written;
        }
        // A stop before the first frame leaves no movie and keeps the old file.
        if (rc == 0 || (rc == kRenderJobStopped && written > 0)) {
            std::string close_name;
            if (const int close_rc = output_.close(&close_name)) rc = close_rc, failed = close_name;
        } else {
            output_.abort();
        }
    }
    drawing_->current_frame = -1;
    // The arrays and normals kept from frame to frame are many megabytes for a large
    // scene: they go with the job.
    render_release_kept();
    const int64_t elapsed = static_cast<int64_t>(std::time(nullptr)) - start_time_;
    if (rc != 0 && rc != kRenderJobStopped) {
        if (!message_.empty() && failed.empty())
            setup_.sink->error_text(rc, message_);
        else
            setup_.sink->error(rc, failed);
    }
    result_ = rc;
    running_ = false;
    std::string timing;
    if (rc == 0) timing = render_job_timing_text(setup_.timing_label, elapsed);
    // A black picture is no failure when the scene has no light: say why beside the time.
    // In two appends: "|" + string gives GCC 12 a false -Wrestrict warning in Release.
    if (rc == 0 && no_light_) {
        timing += '|';
        timing += res_load_string(kStrNoLight);
    }
    setup_.sink->done(rc, timing);
}

int32_t render_job_frame_count(const MODEL* drawing, const CAMERA* camera_object) {
    if (camera_object) return object_frame_count(camera_object);
    return drawing ? drawing->frame_count : 0;
}

void RenderJob::request_stop() {
    stop_.store(true);
    stop_.notify_all();
}

void RenderJob::wait_for_stop() const { stop_.wait(false); }

RenderJobFrameHook render_job_set_frame_hook(RenderJobFrameHook hook) {
    RenderJobFrameHook old = std::move(g_frame_hook);
    g_frame_hook = std::move(hook);
    return old;
}

int RenderJob::finish() {
    if (worker_.joinable()) worker_.join();
    if (original_) original_->current_frame = -1;
    return result_;
}
