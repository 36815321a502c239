// The preview view: OpenGL drawing of the scene copy, notifications, view points,
// mouse navigation and playback.
#include "glpreview/glimpse_view.h"

#include <QElapsedTimer>
#include <QMouseEvent>
#include <QOpenGLContext>
#include <QOpenGLFunctions_1_1>
#include <QOpenGLVersionFunctionsFactory>
#include <QWheelEvent>
#include <chrono>
#include <cmath>

#include "graphics/view/view.h"
#include "graphics/view/view_host.h"
#include "model/db/zobj.h"
#include "model/math/matrix.h"
#include "model/math/result.h"
#include "model/services/msgbox.h"
#include "model/services/profile.h"
#include "model/services/strtab.h"
#include "resources/string_ids.h"

namespace {

constexpr int kFrameMs = 66;  // about 15 frames a second

double len3(const Vec3d& a) { return std::sqrt(a.x * a.x + a.y * a.y + a.z * a.z); }
Vec3d sub3(const Vec3d& a, const Vec3d& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3d cross3(const Vec3d& a, const Vec3d& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double dot3(const Vec3d& a, const Vec3d& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec3d unit3(const Vec3d& a) {
    const double l = len3(a);
    return l > 0 ? Vec3d{a.x / l, a.y / l, a.z / l} : Vec3d{0, 0, 1};
}
// Rotates v about the unit axis by angle (Rodrigues).
Vec3d turn(const Vec3d& v, const Vec3d& k, double a) {
    const double c = std::cos(a), s = std::sin(a);
    const Vec3d kv = cross3(k, v);
    const double kd = dot3(k, v) * (1 - c);
    return {v.x * c + kv.x * s + k.x * kd, v.y * c + kv.y * s + k.y * kd, v.z * c + kv.z * s + k.z * kd};
}

bool source_alive(MODEL* model, const VIEW* source) {
    for (VIEW* v = drawing_first_view(model); v; v = drawing_next_view(v))
        if (v == source) return true;
    return false;
}

// The previews alive, for the drawing views' farewell.
std::vector<CGLimpseView*>& live_previews() {
    static std::vector<CGLimpseView*> list;
    return list;
}

}  // namespace

CGLimpseView::CGLimpseView(MODEL* model, const VIEW* source, QWidget* parent)
    : QOpenGLWidget(parent), model_(model), source_(source) {
    setObjectName(QStringLiteral("GlimpseView"));
    setMinimumSize(64, 48);
    live_previews().push_back(this);
    glimpse_set_view_hook(&CGLimpseView::view_closing);
    scene_.set_detail(app_profile_get_int("GLimpse", "Detail", 100));
    (void)glimpse_subscribe(model_, &CGLimpseView::notified, this);
    read_layer_flags();
    rebuild();
    const std::vector<std::string> names = view_points();
    if (!names.empty() && preview_camera_of(model_, names.front(), &camera_) && camera_.perspective) {
        view_point_ = names.front();
    } else {
        fit_default();
    }
    timer_.setInterval(kFrameMs);
    connect(&timer_, &QTimer::timeout, this, [this] {
        const int32_t count = alive() ? model_->frame_count : 0;
        frame_ = count > 0 ? (frame_ + 1) % count : 0;
        show_frame();
    });
    watch_.setInterval(250);
    connect(&watch_, &QTimer::timeout, this, [this] {
        if (alive()) return;
        watch_.stop();
        timer_.stop();
        copy_.reset();
        if (on_drawing_closed) on_drawing_closed();
    });
    watch_.start();
}

CGLimpseView::~CGLimpseView() {
    std::erase(live_previews(), this);
    if (alive()) glimpse_unsubscribe(model_, &CGLimpseView::notified, this);
}

void CGLimpseView::view_closing(const VIEW* view) {
    // The preview keeps what it took from the view (layer flags, direction) and reads
    // the view no more: a later view at the same address is another view.
    for (CGLimpseView* p : live_previews())
        if (p->source_ == view) p->source_ = nullptr;
}

bool CGLimpseView::alive() const {
    return model_ && glimpse_is_subscribed(model_, &CGLimpseView::notified, const_cast<CGLimpseView*>(this));
}

void CGLimpseView::fit_default() {
    camera_ = PreviewCamera{};
    if (source_ && alive() && source_alive(model_, source_)) camera_.view = source_->projection.view;
    view_point_.clear();
    zoom_ = 1.0;
}

std::vector<std::string> CGLimpseView::view_points() const {
    return alive() ? preview_view_points(model_) : std::vector<std::string>{};
}

bool CGLimpseView::looks_from_camera() const { return !view_point_.empty() && camera_.perspective; }

bool CGLimpseView::SelectViewPoint(const std::string& name) {
    if (!alive()) return false;
    PreviewCamera c;
    const bool ok = playing() || copy_ ? preview_camera_at_frame(static_cast<MODEL*>(copy_.get()), name, frame_, &c) ||
                                             preview_camera_of(model_, name, &c)
                                       : preview_camera_of(model_, name, &c);
    if (!ok) return false;
    camera_ = c;
    view_point_ = name;
    zoom_ = 1.0;
    update();
    return true;
}

void CGLimpseView::set_detail(double percent) {
    scene_.set_detail(percent);
    app_profile_put_int("GLimpse", "Detail", int(std::lround(scene_.detail())));
    if (copy_)
        show_frame();
    else
        rebuild();
}

void CGLimpseView::read_layer_flags() {
    // Let go by its view: the flags it last read stay.
    if (!source_) return;
    if (alive() && source_alive(model_, source_))
        layer_flags_ = source_->layer_state.flags;
    else
        layer_flags_.clear();
}

void CGLimpseView::rebuild() {
    if (!alive()) return;
    mirror_drawing();
    update();
}

void CGLimpseView::mirror_drawing() {
    // Out of memory the preview shows nothing rather than a part of the drawing, and says so.
    if (scene_.rebuild(model_, &layer_flags_) != 0) msgbox_ids(kStrIdError, IDS_NO_MEMORY);
}

void CGLimpseView::notified(void* user, MODEL*, GlimpseEvent event, ZOBJ* obj) {
    static_cast<CGLimpseView*>(user)->on_event(event, obj);
}

void CGLimpseView::on_event(GlimpseEvent event, ZOBJ* obj) {
    // During playback the private copy is shown; the drawing's changes wait for Stop.
    switch (event) {
        case GlimpseEvent::kObjectAdded:
            if (copy_) {
                dirty_ = true;
            } else {
                // Only objects on a layer this preview shows.
                const ZOBJ* p = obj;
                while (p && !rtc_is<LAYER>(p)) p = p->parent;
                int index = 0;
                bool shown = true;
                if (p && model_->children) {
                    ZDLIST* c = model_->children;
                    do {
                        if (c == p) break;
                        if (rtc_is<LAYER>(c)) ++index;
                        c = c->next;
                    } while (c != model_->children);
                    shown = size_t(index) >= layer_flags_.size() || layer_flags_[size_t(index)] != 0;
                }
                if (shown) (void)scene_.add(obj);
            }
            break;
        case GlimpseEvent::kObjectRemoved:
            scene_.remove(obj);  // by address only
            if (copy_) dirty_ = true;
            break;
        case GlimpseEvent::kDrawingChanged:
            if (on_view_points) on_view_points();
            if (!view_point_.empty() && !copy_ && !preview_camera_of(model_, view_point_, &camera_)) fit_default();
            break;
        case GlimpseEvent::kCameraChanged:
            if (obj && view_point_ == obj->name() && !copy_) preview_camera_of(model_, view_point_, &camera_);
            if (on_view_points) on_view_points();
            break;
        case GlimpseEvent::kViewportChanged:
            read_layer_flags();
            if (copy_)
                dirty_ = true;
            else
                mirror_drawing();
            break;
    }
    update();
}

// ---- Playback

bool CGLimpseView::ensure_copy() {
    if (copy_) return true;
    if (!alive() || model_->frame_count < 1) return false;
    // The tracks are evaluated on a private copy of the drawing.
    return preview_copy_drawing(model_, &copy_) == 0;
}

void CGLimpseView::show_frame() {
    if (!copy_) return;
    auto* copy = static_cast<MODEL*>(copy_.get());
    (void)scene_.build_frame(copy, frame_, &layer_flags_);
    if (!view_point_.empty()) {
        PreviewCamera c;
        if (preview_camera_at_frame(copy, view_point_, frame_, &c)) camera_ = c;
    }
    update();
}

void CGLimpseView::Play() {
    if (playing() || !ensure_copy()) return;
    show_frame();
    timer_.start();
    if (on_playing) on_playing(true);
}

void CGLimpseView::Pause() {
    if (!playing()) return;
    timer_.stop();
    if (on_playing) on_playing(false);
}

void CGLimpseView::Stop() {
    const bool was = playing();
    timer_.stop();
    frame_ = 0;
    copy_.reset();
    dirty_ = false;
    read_layer_flags();
    rebuild();
    if (!view_point_.empty() && alive()) preview_camera_of(model_, view_point_, &camera_);
    if (was && on_playing) on_playing(false);
}

void CGLimpseView::Previous() {
    if (playing() || !ensure_copy()) return;
    const int32_t count = model_->frame_count;
    frame_ = frame_ > 0 ? frame_ - 1 : count - 1;
    show_frame();
}

void CGLimpseView::Next() {
    if (playing() || !ensure_copy()) return;
    const int32_t count = model_->frame_count;
    frame_ = count > 0 ? (frame_ + 1) % count : 0;
    show_frame();
}

// ---- Camera commands and navigation

int CGLimpseView::NewCamera() {
    if (!alive()) return kBadArgument;
    PreviewCamera at = camera_;
    if (!at.perspective) {
        // From the parallel view: a camera looking along it at the scene's centre.
        const BBox b = scene_.bounds();
        if (bbox_is_empty(b)) return kBadArgument;
        const Vec3d c{(b.min.x + b.max.x) / 2.0, (b.min.y + b.max.y) / 2.0, (b.min.z + b.max.z) / 2.0};
        const double r = std::max({b.max.x - b.min.x, b.max.y - b.min.y, b.max.z - b.min.z, 1.0f}) * 2.0;
        const double* m = camera_.view.m;
        const Vec3d back = unit3({m[2], m[5], m[8]});
        at.perspective = true;
        at.target = c;
        at.eye = {c.x + back.x * r, c.y + back.y * r, c.z + back.z * r};
        at.lens = 1.0;
    }
    std::string name;
    const int rc = camera_commit_new(model_, at, &name);
    if (rc == 0) {
        if (on_view_points) on_view_points();
        SelectViewPoint(name);
    }
    return rc;
}

int CGLimpseView::UpdateCamera() {
    if (!alive() || !looks_from_camera()) return kBadArgument;
    return camera_commit_changed(model_, view_point_, camera_);
}

void CGLimpseView::orbit(double about_z, double about_x) {
    if (camera_.perspective) {
        Vec3d d = sub3(camera_.eye, camera_.target);
        d = turn(d, {0, 0, 1}, about_z);
        camera_.up = turn(camera_.up, {0, 0, 1}, about_z);
        const Vec3d side = unit3(cross3(camera_.up, d));
        d = turn(d, side, about_x);
        camera_.up = unit3(turn(camera_.up, side, about_x));
        camera_.eye = {camera_.target.x + d.x, camera_.target.y + d.y, camera_.target.z + d.z};
    } else {
        Matrix43 r, inv, out;
        mat_rotate_xyz(&r, &inv, about_x, 0, about_z);
        mat_mul(&out, &camera_.view, &r);
        camera_.view = out;
    }
    update();
}

void CGLimpseView::dolly(double factor) {
    if (!std::isfinite(factor) || factor <= 0) return;
    if (camera_.perspective) {
        const Vec3d d = sub3(camera_.eye, camera_.target);
        camera_.eye = {camera_.target.x + d.x * factor, camera_.target.y + d.y * factor, camera_.target.z + d.z * factor};
    } else {
        zoom_ = std::clamp(zoom_ * factor, 1e-4, 1e4);
    }
    update();
}

void CGLimpseView::mousePressEvent(QMouseEvent* e) { last_mouse_ = e->position().toPoint(); }

void CGLimpseView::mouseMoveEvent(QMouseEvent* e) {
    if (!(e->buttons() & Qt::LeftButton)) return;
    const QPoint p = e->position().toPoint();
    const QPoint d = p - last_mouse_;
    last_mouse_ = p;
    orbit(-d.x() * 0.01, -d.y() * 0.01);
}

void CGLimpseView::wheelEvent(QWheelEvent* e) { dolly(e->angleDelta().y() > 0 ? 0.9 : 1.0 / 0.9); }

// ---- Drawing

void CGLimpseView::initializeGL() {}

void CGLimpseView::paintGL() {
    QElapsedTimer clock;
    clock.start();
    auto* gl = QOpenGLVersionFunctionsFactory::get<QOpenGLFunctions_1_1>(context());
    if (!gl) return;  // no desktop OpenGL: the window stays empty
    const int w = std::max(1, int(width() * devicePixelRatioF())), h = std::max(1, int(height() * devicePixelRatioF()));
    gl->glViewport(0, 0, w, h);
    gl->glClearColor(0.12f, 0.12f, 0.14f, 1.0f);
    gl->glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    const BBox b = scene_.bounds();
    if (bbox_is_empty(b)) return;
    const Vec3d corners[8] = {{b.min.x, b.min.y, b.min.z}, {b.max.x, b.min.y, b.min.z}, {b.min.x, b.max.y, b.min.z},
                              {b.max.x, b.max.y, b.min.z}, {b.min.x, b.min.y, b.max.z}, {b.max.x, b.min.y, b.max.z},
                              {b.min.x, b.max.y, b.max.z}, {b.max.x, b.max.y, b.max.z}};
    double mv[16] = {};
    gl->glMatrixMode(GL_PROJECTION);
    gl->glLoadIdentity();
    if (camera_.perspective) {
        const Vec3d f = unit3(sub3(camera_.target, camera_.eye));
        Vec3d s = cross3(f, camera_.up);
        if (len3(s) < 1e-9) s = cross3(f, std::fabs(f.z) < 0.9 ? Vec3d{0, 0, 1} : Vec3d{0, 1, 0});
        s = unit3(s);
        const Vec3d u = cross3(s, f);
        const double rows[3][3] = {{s.x, s.y, s.z}, {u.x, u.y, u.z}, {-f.x, -f.y, -f.z}};
        for (int c = 0; c < 3; ++c)
            for (int r = 0; r < 3; ++r) mv[c * 4 + r] = rows[r][c];
        mv[12] = -dot3(s, camera_.eye), mv[13] = -dot3(u, camera_.eye), mv[14] = dot3(f, camera_.eye), mv[15] = 1;
        double nearest = 1e300, farthest = 0;
        for (const Vec3d& c : corners) {
            const double depth = dot3(sub3(c, camera_.eye), f);
            nearest = std::min(nearest, depth), farthest = std::max(farthest, depth);
        }
        double fz = std::max(farthest * 1.05, 1e-3);
        double nz = std::max(nearest * 0.95, fz / 1e4);
        const double half_w = nz * 0.5 / camera_.lens, half_h = half_w * h / w;
        gl->glFrustum(-half_w, half_w, -half_h, half_h, nz, fz);
    } else {
        const double* m = camera_.view.m;
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 3; ++c) mv[r * 4 + c] = m[r * 3 + c];
        mv[15] = 1;
        double lo[3] = {1e300, 1e300, 1e300}, hi[3] = {-1e300, -1e300, -1e300};
        for (const Vec3d& c : corners) {
            const double v[3] = {c.x * m[0] + c.y * m[3] + c.z * m[6] + m[9], c.x * m[1] + c.y * m[4] + c.z * m[7] + m[10],
                                 c.x * m[2] + c.y * m[5] + c.z * m[8] + m[11]};
            for (int i = 0; i < 3; ++i) lo[i] = std::min(lo[i], v[i]), hi[i] = std::max(hi[i], v[i]);
        }
        // The scene fills the window with a margin, kept centred.
        double sw = std::max(hi[0] - lo[0], 1e-6) * 1.1 * zoom_, sh = std::max(hi[1] - lo[1], 1e-6) * 1.1 * zoom_;
        if (sw / sh < double(w) / h)
            sw = sh * w / h;
        else
            sh = sw * h / w;
        const double cx = (lo[0] + hi[0]) / 2, cy = (lo[1] + hi[1]) / 2, dz = std::max(hi[2] - lo[2], 1e-6);
        gl->glOrtho(cx - sw / 2, cx + sw / 2, cy - sh / 2, cy + sh / 2, -hi[2] - dz * 0.1, -lo[2] + dz * 0.1);
    }
    gl->glMatrixMode(GL_MODELVIEW);
    gl->glLoadIdentity();
    // A head light: fixed in the eye's frame, set before the view matrix.
    const float light_dir[4] = {0.3f, 0.4f, 1.0f, 0.0f};
    const float white[4] = {0.85f, 0.85f, 0.85f, 1.0f}, ambient[4] = {0.25f, 0.25f, 0.25f, 1.0f};
    gl->glEnable(GL_LIGHTING);
    gl->glEnable(GL_LIGHT0);
    gl->glLightfv(GL_LIGHT0, GL_POSITION, light_dir);
    gl->glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
    gl->glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
    gl->glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, GL_TRUE);
    gl->glEnable(GL_COLOR_MATERIAL);
    gl->glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    gl->glEnable(GL_NORMALIZE);
    gl->glEnable(GL_DEPTH_TEST);
    gl->glShadeModel(GL_SMOOTH);
    gl->glLoadMatrixd(mv);
    gl->glEnableClientState(GL_VERTEX_ARRAY);
    gl->glEnableClientState(GL_NORMAL_ARRAY);
    for (const SceneEntry& e : scene_.entries())
        for (const SceneMesh& m : e.meshes) {
            if (m.xyz.empty()) continue;
            gl->glColor3f(m.rgb[0], m.rgb[1], m.rgb[2]);
            gl->glVertexPointer(3, GL_FLOAT, 0, m.xyz.data());
            gl->glNormalPointer(GL_FLOAT, 0, m.normals.data());
            gl->glDrawArrays(GL_TRIANGLES, 0, GLsizei(m.triangles() * 3));
        }
    gl->glDisableClientState(GL_NORMAL_ARRAY);
    gl->glDisableClientState(GL_VERTEX_ARRAY);
    gl->glFinish();
    last_paint_ms_ = double(clock.nsecsElapsed()) / 1e6;
}
