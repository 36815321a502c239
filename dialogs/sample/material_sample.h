// The material sheet's sample: the material being edited painted on a cylinder, a
// sphere or a square over the checker background, and a small chooser of the shape.
//
// The picture is made on a worker thread of the widget, so that typing in the sheet
// stays smooth: every change starts a new picture and abandons the one being made,
// and only the picture of the latest material and shape is shown. The widget keeps
// its own copy of the material; the image patterns its slots point at stay the
// drawing's, and are held while a picture samples them.
#pragma once

#include <QImage>
#include <QWidget>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

struct MaterialRecord;
class QButtonGroup;

class CMaterialSample : public QWidget {
    Q_OBJECT
  public:
    explicit CMaterialSample(QWidget* parent = nullptr);
    ~CMaterialSample() override;  // stops and joins any work in flight

    void set_shape(int32_t shape);  // kPreviewCylinder, kPreviewSphere, kPreviewSquare
    int32_t shape() const { return shape_; }
    // Takes its own deep copy and starts a new picture.
    void set_material(const MaterialRecord& m);
    // The last finished picture (null before the first), in device pixels with the
    // screen's pixel ratio.
    QImage picture() const { return picture_; }
    // Runs the event loop until the picture of the last change is shown, at most
    // timeout_ms; true when it is.
    bool wait_ready(int timeout_ms);

    QSize sizeHint() const override { return QSize(160, 160); }

  Q_SIGNALS:
    // A picture for the latest material and shape is finished and shown.
    void ready();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    // Called on the window thread (queued by the worker) when a picture is finished.
    Q_INVOKABLE void take_result();
    // Starts a picture of the current material and shape at the widget's size.
    void restart();
    void worker_main();

    int32_t shape_;
    MaterialRecord* material_ = nullptr;  // the window thread's copy, owned
    QImage picture_;
    uint64_t shown_ = 0;    // generation of picture_
    QSize requested_size_;  // of the last picture started

    // Shared with the worker, under mutex_.
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;
    uint64_t generation_ = 0;            // of the last change
    MaterialRecord* pending_ = nullptr;  // the next picture's own copy, owned
    int32_t pending_shape_ = 0;
    int32_t pending_width_ = 0, pending_height_ = 0;  // device pixels
    double pending_ratio_ = 1.0;                      // device pixels per widget pixel
    uint64_t pending_generation_ = 0;
    std::vector<uint8_t> result_;  // rgb rows of the finished picture
    int32_t result_width_ = 0, result_height_ = 0;
    double result_ratio_ = 1.0;
    uint64_t result_generation_ = 0;
    // generation_ as the worker reads it between rows: a picture of an older one stops.
    std::atomic<uint64_t> latest_{0};

    std::thread worker_;
};

// Three radio buttons "Cylinder", "Sphere", "Square" that set the sample's shape; the
// sheet places it beside the sample. Button ids are the shape numbers.
class CMaterialSampleShapes : public QWidget {
    Q_OBJECT
  public:
    explicit CMaterialSampleShapes(CMaterialSample* sample, QWidget* parent = nullptr);
    QButtonGroup* group() const { return group_; }

  private:
    QButtonGroup* group_;
};
