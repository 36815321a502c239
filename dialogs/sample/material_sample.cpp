// The material sheet's sample and its shape chooser.
#include "dialogs/sample/material_sample.h"

#include <QButtonGroup>
#include <QEventLoop>
#include <QPainter>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "model/db/patt.h"
#include "model/material/material.h"
#include "model/services/log.h"
#include "render/scanline/material_preview.h"

namespace {

// The image patterns of a material's image-map slots, each once.
std::vector<MATRPATT*> slot_images(const MaterialRecord* m) {
    std::vector<MATRPATT*> images;
    for (const TextureSlot& slot : m->slots) {
        MATRPATT* image = slot.kind == kTextureImage ? slot.mapping.image : nullptr;
        if (image && std::find(images.begin(), images.end(), image) == images.end())
            images.push_back(image);
    }
    return images;
}

// A heap copy of m, or null when memory ran out (the copy is then incomplete and
// dropped: the sample keeps showing the previous picture).
MaterialRecord* copy_of(const MaterialRecord* m) {
    MaterialRecord* copy = material_new();
    if (copy && material_copy(copy, m) != 0) material_free(&copy);
    if (!copy) log_message(LogLevel::error, "material sample: out of memory");
    return copy;
}

}  // namespace

CMaterialSample::CMaterialSample(QWidget* parent) : QWidget(parent), shape_(kPreviewSphere) {
    material_ = material_new();
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    resize(sizeHint());
    worker_ = std::thread([this] { worker_main(); });
}

CMaterialSample::~CMaterialSample() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
        latest_.store(++generation_);
    }
    wake_.notify_all();
    worker_.join();
    material_free(&pending_);
    material_free(&material_);
}

void CMaterialSample::set_shape(int32_t shape) {
    shape_ = shape;
    restart();
}

void CMaterialSample::set_material(const MaterialRecord& m) {
    MaterialRecord* copy = copy_of(&m);
    if (!copy) return;
    material_free(&material_);
    material_ = copy;
    restart();
}

void CMaterialSample::restart() {
    MaterialRecord* job = material_ ? copy_of(material_) : nullptr;
    if (!job) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        material_free(&pending_);  // a picture not yet started is simply replaced
        pending_ = job;
        pending_shape_ = shape_;
        // In device pixels, so that the sample is sharp on a scaled screen.
        pending_ratio_ = std::clamp(devicePixelRatioF(), 1.0, 4.0);
        pending_width_ = std::max(1, int(width() * pending_ratio_));
        pending_height_ = std::max(1, int(height() * pending_ratio_));
        requested_size_ = size();
        pending_generation_ = ++generation_;
        latest_.store(generation_);
    }
    wake_.notify_all();
}

void CMaterialSample::worker_main() {
    std::vector<uint8_t> rgb;
    for (;;) {
        MaterialRecord* m = nullptr;
        int32_t shape = 0, w = 0, h = 0;
        double ratio = 1.0;
        uint64_t generation = 0;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [this] { return stop_ || pending_; });
            if (stop_) return;
            m = pending_;
            pending_ = nullptr;
            shape = pending_shape_;
            w = pending_width_;
            h = pending_height_;
            ratio = pending_ratio_;
            generation = pending_generation_;
        }
        // Image maps are made ready and held for the picture, as a render holds them,
        // so that no decode on another thread replaces the pixels being sampled.
        const std::vector<MATRPATT*> images = slot_images(m);
        for (MATRPATT* image : images) {
            const int rc = image->make_image_ready_and_hold();
            if (rc != 0)
                log_message(LogLevel::debug, "material sample: texture image not decoded (%d)", rc);
        }
        rgb.assign(size_t(w) * size_t(h) * 3, 0);
        bool finished = true;
        for (int32_t row = 0; row < h; ++row) {
            if (latest_.load() != generation) {
                finished = false;  // a newer change: this picture is abandoned
                break;
            }
            matpreview_paint_row(m, shape, w, h, row, &rgb[size_t(row) * size_t(w) * 3]);
        }
        for (MATRPATT* image : images) image->release_pixels();
        material_free(&m);
        if (!finished) continue;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (stop_) return;
            if (generation != generation_) continue;
            result_.swap(rgb);
            result_width_ = w;
            result_height_ = h;
            result_ratio_ = ratio;
            result_generation_ = generation;
        }
        // Queued by name: the call is made on the window thread, and never after the
        // destructor (which joins this thread first; the widget's pending calls die
        // with it).
        QMetaObject::invokeMethod(this, "take_result", Qt::QueuedConnection);
    }
}

void CMaterialSample::take_result() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (result_generation_ == 0 || result_generation_ != generation_) return;
        QImage image(result_width_, result_height_, QImage::Format_RGB888);
        for (int32_t y = 0; y < result_height_; ++y)
            std::copy_n(&result_[size_t(y) * size_t(result_width_) * 3], size_t(result_width_) * 3,
                        image.scanLine(y));
        image.setDevicePixelRatio(result_ratio_);
        picture_ = image;
        shown_ = result_generation_;
        result_generation_ = 0;
    }
    update();
    Q_EMIT ready();
}

bool CMaterialSample::wait_ready(int timeout_ms) {
    auto done = [this] {
        std::lock_guard<std::mutex> lock(mutex_);
        return shown_ == generation_;
    };
    if (done()) return true;
    QEventLoop loop;
    connect(this, &CMaterialSample::ready, &loop, &QEventLoop::quit);
    QTimer::singleShot(timeout_ms, &loop, &QEventLoop::quit);
    loop.exec();
    return done();
}

void CMaterialSample::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (picture_.isNull()) {
        painter.fillRect(rect(), palette().window());
        return;
    }
    if (picture_.deviceIndependentSize().toSize() == size())
        painter.drawImage(0, 0, picture_);
    else  // the picture of the new size is still being made
        painter.drawImage(rect(), picture_);
}

void CMaterialSample::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (size() != requested_size_) restart();
}

CMaterialSampleShapes::CMaterialSampleShapes(CMaterialSample* sample, QWidget* parent)
    : QWidget(parent), group_(new QButtonGroup(this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    const struct {
        const char* text;
        int32_t shape;
    } kShapes[] = {
        {"Cylinder", kPreviewCylinder}, {"Sphere", kPreviewSphere}, {"Square", kPreviewSquare}};
    for (const auto& s : kShapes) {
        auto* button = new QRadioButton(tr(s.text), this);
        button->setChecked(sample && sample->shape() == s.shape);
        group_->addButton(button, s.shape);
        layout->addWidget(button);
    }
    connect(group_, &QButtonGroup::idClicked, this, [sample](int id) {
        if (sample) sample->set_shape(id);
    });
}
