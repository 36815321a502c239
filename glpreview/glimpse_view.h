// CGLimpseView: the preview window's view. It draws its own copy of the drawing's
// meshes (glpreview/scene.h) shaded through OpenGL 1.1 (functions resolved from the
// context at run time), follows the drawing through the preview notifier, looks
// from a camera or a stored viewport of the drawing, lets the user orbit and dolly
// with the mouse, and plays the drawing's animation from a private copy.
//
// The view never changes the drawing except through its camera commands. When the
// drawing closes, the view notices (its subscription is gone) and reads nothing more
// of it. User-interface thread only.
#pragma once

#include <QOpenGLWidget>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "glpreview/scene.h"
#include "model/db/glimpse_notify.h"

class MODEL;
class RTC;
class VIEW;

class CGLimpseView : public QOpenGLWidget {
  public:
    // A preview of `model` that starts from `source` (a view of the drawing whose
    // layer flags and view direction it takes; may be null).
    CGLimpseView(MODEL* model, const VIEW* source, QWidget* parent = nullptr);
    ~CGLimpseView() override;

    MODEL* model() const { return alive() ? model_ : nullptr; }
    // The drawing is still open.
    bool alive() const;

    // Makes the named camera or stored viewport the place to look from and redraws;
    // false (nothing changed) when the drawing has none of that name.
    bool SelectViewPoint(const std::string& name);
    const std::string& view_point() const { return view_point_; }
    std::vector<std::string> view_points() const;
    const PreviewCamera& camera() const { return camera_; }
    bool looks_from_camera() const;

    // Detail in percent (1..100), kept in the settings ("GLimpse", "Detail").
    double detail() const { return scene_.detail(); }
    void set_detail(double percent);

    // Playback of the drawing's frames.
    void Play();
    void Pause();
    void Stop();
    void Previous();
    void Next();
    bool playing() const { return timer_.isActive(); }
    int32_t frame() const { return frame_; }

    // The camera commands: a new camera where the view looks from, or the current
    // camera moved there. 0 or the engine's code.
    [[nodiscard]] int NewCamera();
    [[nodiscard]] int UpdateCamera();

    const GlimpseScene& scene() const { return scene_; }
    // Orbits about the target (radians about world Z and about the screen's x axis)
    // and dollies (factor on the distance), as the mouse does.
    void orbit(double about_z, double about_x);
    void dolly(double factor);

    // Told when playback starts or ends, when the list of view points changed, and
    // when the drawing has gone.
    std::function<void(bool playing)> on_playing;
    std::function<void()> on_view_points;
    std::function<void()> on_drawing_closed;

    // Milliseconds the last paint took (for the benchmark and the status line).
    double last_paint_ms() const { return last_paint_ms_; }

  protected:
    void initializeGL() override;
    void paintGL() override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;

  private:
    static void notified(void* user, MODEL* model, GlimpseEvent event, ZOBJ* obj);
    // The drawing view `view` is being destroyed: previews bound to it let it go.
    static void view_closing(const VIEW* view);
    void on_event(GlimpseEvent event, ZOBJ* obj);
    void read_layer_flags();
    void rebuild();
    void mirror_drawing();
    void show_frame();
    bool ensure_copy();
    void fit_default();

    MODEL* model_;
    const VIEW* source_;  // the view it was opened from; null once that view has gone
    std::vector<int32_t> layer_flags_;
    GlimpseScene scene_;
    PreviewCamera camera_;
    std::string view_point_;
    double zoom_ = 1.0;  // parallel views: factor on the fitted size
    std::unique_ptr<RTC> copy_;  // private drawing of playback
    int32_t frame_ = 0;
    QTimer timer_;
    QTimer watch_;  // notices a closed drawing
    QPoint last_mouse_;
    bool dirty_ = false;  // the drawing changed during playback
    double last_paint_ms_ = 0;
};

// Opens a preview window on the drawing of the main frame's active drawing view.
// Null when there is none.
class CGlimpseFrame;
CGlimpseFrame* glimpse_open();
// Installs Window, Glimpse (15704) into the main frame's commands.
void glimpse_install();
