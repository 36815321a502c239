// Render sheet pages, default-light picker and AVI compressor choice.
#include "dialogs/render_pages.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QRadioButton>
#include <QSlider>

#include <cmath>
#include <cstdio>

#include "dialogs/scene_material_editor.h"
#include "dialogs/texture_slot_editor.h"
#include "graphics/view/colours.h"
#include "model/material/material.h"
#include "model/math/matrix.h"
#include "model/services/msgbox.h"
#include "resources/string_ids.h"
#include "shell/ddx.h"

namespace {

constexpr int kMethodIds[5] = {2152, 2153, 2154, 2155, 2151};
constexpr int kKindIds[8] = {2358, 2359, 2360, 2361, 2362, 2363, 2364, 2365};
constexpr const char* kSizeNames[11] = {"Typed size",  "Window size", "1600 x 1200", "1280 x 1024",
                                        "1024 x 768",  "800 x 600",   "640 x 480",   "480 x 360",
                                        "320 x 240",   "736 x 578",   "736 x 486"};

void ddx_int(CDataExchange* dx, int id, int32_t& value) {
    double d = value;
    DDX_Double(dx, id, d);
    if (dx->saving()) value = static_cast<int32_t>(std::lround(std::isfinite(d) ? std::fmax(std::fmin(d, 2e9), -2e9) : 0));
}

// The range message of whole-number fields, bounds written out in full.
void int_range_fail(CDataExchange* dx, int control, int64_t low, int64_t high) {
    dx->PrepareCtrl(control);
    const std::string text = "Please enter an integer between " + std::to_string(low) + " and " + std::to_string(high) + ".";
    msgbox_show(0, text.c_str(), kMbOk | kMbIconExclamation);
    dx->Fail();
}

// A light's colour as the drawing windows show palette index `index`.
QColor palette_colour(int index) {
    const PaletteEntry& e = kDisplayPalette[static_cast<unsigned>(index) & 0xFFu];
    return QColor(e.red, e.green, e.blue);
}

// *dst becomes a copy of src, or stays as it was with the failure told.
bool copy_material(MaterialRecord* dst, const MaterialRecord& src) {
    MaterialRecord scratch;
    struct Release {
        MaterialRecord* m;
        ~Release() { material_init(m); }
    } release{&scratch};
    if (material_copy(&scratch, &src) != 0) {
        msgbox_ids(kStrIdError, IDS_NO_MEMORY);
        return false;
    }
    material_swap(dst, &scratch);
    return true;
}

void set_enabled(CDialog* d, int id, bool on) {
    if (QWidget* w = d->GetDlgItem(id)) w->setEnabled(on);
}

}  // namespace

// ---- picker ----

DefaultLightPicker::DefaultLightPicker(RenderSettings* s, const RenderPageHooks* hooks, QWidget* parent)
    : QWidget(parent), s_(s), hooks_(hooks) {
    setMinimumSize(160, 110);
}

void DefaultLightPicker::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const int w = width(), h = height();
    p.fillRect(rect(), palette().window());
    p.setPen(QPen(Qt::black, 1));
    const PickerPoint a = light_picker_position(0, w, h), b = light_picker_position(8, w, h);
    p.drawRect(QRect(QPoint(std::min(a.x, b.x), std::min(a.y, b.y)), QPoint(std::max(a.x, b.x), std::max(a.y, b.y))));
    for (const auto& seg : kPickerCube) {
        const PickerPoint u = light_picker_position(seg[0], w, h), v = light_picker_position(seg[1], w, h);
        p.drawLine(u.x, u.y, v.x, v.y);
    }
    for (int i = 0; i < 16; ++i) {
        const PickerPoint c = light_picker_position(i, w, h);
        p.fillRect(QRect(c.x - w / 20, c.y - h / 20, w / 10, h / 10), palette().window());
        const bool on = s_->light_mask & (1u << i);
        p.setPen(QPen(on ? palette_colour(s_->light_colours[i]) : palette_colour(0), 1));
        p.drawRect(c.x - w / 40, c.y - h / 40, 2 * (w / 40), 2 * (h / 40));
        p.drawLine(c.x - w / 30, c.y, c.x + w / 30, c.y);
        p.drawLine(c.x, c.y - h / 30, c.x, c.y + h / 30);
    }
}

void DefaultLightPicker::mousePressEvent(QMouseEvent* e) {
    const int i = light_picker_hit(e->position().toPoint().x(), e->position().toPoint().y(), width(), height());
    if (i < 0) return;
    if (e->button() == Qt::LeftButton) {
        s_->light_mask ^= 1u << i;
    } else if (e->button() == Qt::RightButton) {
        if (!hooks_ || !hooks_->choose_colour) return;  // no colour chooser installed
        int32_t colour = s_->light_colours[i];
        if (!hooks_->choose_colour(&colour)) return;
        s_->light_colours[i] = colour;
        s_->light_mask |= 1u << i;
    }
    update();
}

// ---- Render page ----

CRenderPage::CRenderPage(RenderSettings* s, RenderJobOptions* o, std::vector<RenderCameraChoice> cameras,
                         int32_t client_width, int32_t client_height, RenderPageHooks hooks)
    : CPropPage(286, "Render"), s_(s), o_(o), cameras_(std::move(cameras)), client_w_(client_width),
      client_h_(client_height), hooks_(std::move(hooks)) {}

const RenderCameraChoice* CRenderPage::camera() const {
    return camera_index_ > 0 && camera_index_ <= static_cast<int>(cameras_.size()) ? &cameras_[camera_index_ - 1]
                                                                                   : nullptr;
}

void CRenderPage::CreateControls() {
    const char* methods[5] = {"&Ray tracing", "&Phong", "&Gouraud", "&Flat", "&No shading method"};
    for (int i = 0; i < 5; ++i) {
        QRadioButton* r = add_radio(kMethodIds[i], methods[i], i, 0);
        const int id = kMethodIds[i];
        QObject::connect(r, &QRadioButton::clicked, this, [this, id] { OnCommand(id); });
    }
    struct Check {
        int id;
        const char* text;
    } checks[] = {{2166, "&Ambient"}, {2158, "A&ntialiasing"}, {2156, "&Draft quality"}, {2157, "&Selected only"},
                  {2159, "Sh&ow textures"}, {2161, "P&erspective"}, {2160, "Gre&y scale"}};
    int row = 0;
    for (const Check& c : checks) {
        QCheckBox* b = add_check(c.id, c.text, row++, 1);
        const int id = c.id;
        QObject::connect(b, &QCheckBox::clicked, this, [this, id] { OnCommand(id); });
    }
    add_static(0, "Perspective value", 7, 0);
    add_edit(2162, 7, 1);
    add_static(0, "Ray-trace depth", 8, 0);
    add_edit(2164, 8, 1);
    add_static(0, "Image size", 9, 0);
    size_combo_ = add_combo(2208, 9, 1);
    for (const char* n : kSizeNames) size_combo_->addItem(n);
    QObject::connect(size_combo_, &QComboBox::activated, this, [this] { OnCommand(2208); });
    add_static(0, "&Width", 10, 0);
    add_edit(2199, 10, 1);
    add_static(0, "&Height", 11, 0);
    add_edit(2200, 11, 1);
    add_static(0, "Ga&mma", 12, 0);
    add_edit(2207, 12, 1);
    add_static(0, "&Camera", 13, 0);
    camera_combo_ = add_combo(2165, 13, 1);
    camera_combo_->addItem("<Viewport>");
    for (const RenderCameraChoice& c : cameras_) camera_combo_->addItem(QString::fromStdString(c.name));
    // The list reports a choice of the entry already chosen too: that one keeps what
    // was edited on its scene.
    QObject::connect(camera_combo_, &QComboBox::activated, this, [this](int i) {
        if (i != camera_index_) choose_camera(i);
    });
    add_button(2168, "Create camera", 14, 1);
    for (int id : {2162, 2164, 2199, 2200, 2207})  // leaving an edit reads it
        QObject::connect(static_cast<QLineEdit*>(GetDlgItem(id)), &QLineEdit::editingFinished, this, [this, id] {
            const int32_t value = v_.perspective_value;
            if (!UpdateData(true)) return;
            // A new perspective value shows at once.
            if (id == 2162 && !camera() && v_.perspective && v_.perspective_value != value) preview(-1);
        });
    add_static(0, "Default lights", 0, 2);
    picker_ = new DefaultLightPicker(s_, &hooks_, this);
    if (auto* grid = qobject_cast<QGridLayout*>(layout())) grid->addWidget(picker_, 1, 2, 8, 1);
}

void CRenderPage::choose_camera(int index, bool force, bool keep_scene) {
    camera_index_ = index;
    if (!keep_scene) load_scene();
    if (const RenderCameraChoice* c = camera()) {
        v_.perspective = true;
        v_.perspective_value = render_page_perspective_from_lens(c->lens);
    } else {
        v_.perspective = (s_->flags & kRenderPerspective) != 0;
        v_.perspective_value = s_->perspective;
    }
    preview(-1, force);
    if (filled_) UpdateData(false);
}

void CRenderPage::load_scene() {
    RenderSheetScene* sc = scene_;
    if (!sc) return;
    // The viewport's record keeps what was edited on it until the sheet ends.
    if (sc->loaded && !sc->camera) {
        if (!copy_material(&s_->material, sc->material)) return;
        s_->background_colour = sc->colour;
    }
    MaterialRecord m;
    struct Release {
        MaterialRecord* m;
        ~Release() { material_init(m); }
    } release{&m};
    int32_t colour = s_->background_colour;
    const RenderCameraChoice* c = camera();
    const bool from_camera = c && hooks_.camera_material && hooks_.camera_material(c->name, &m, &colour);
    if (c && hooks_.camera_material && !from_camera) msgbox_ids(kStrIdError, IDS_NO_MEMORY);
    if (!from_camera && !copy_material(&m, s_->material)) return;
    // Every slot of the scene the sheet edits carries a placement (the identity where
    // it had none), which OK stores with it.
    for (TextureSlot& slot : m.slots)
        if (!slot.transform) slot.transform = xform_new();  // null (out of memory): no placement, as before
    material_init(&sc->as_loaded);
    sc->as_loaded_kept = material_copy(&sc->as_loaded, &m) == 0;  // failed: any OK stores the scene
    sc->colour_as_loaded = colour;
    material_swap(&sc->material, &m);
    sc->colour = colour;
    sc->camera = from_camera;
    sc->loaded = true;
    sc->shown = false;
    if (scene_page_ && filled_) scene_page_->UpdateData(false);
}

void CRenderPage::preview(int32_t frame, bool force) {
    if (!hooks_.preview) return;
    RenderPreview p;
    p.camera = camera();
    p.perspective = p.camera || v_.perspective;
    p.perspective_value = v_.perspective_value;
    p.selected_only = v_.selected_only;
    p.frame = frame;
    p.force = force;
    hooks_.preview(p);
}

void CRenderPage::DoDataExchange(CDataExchange* dx) {
    if (!dx->saving() && !filled_) {
        filled_ = true;
        render_page_read(*s_, *o_, client_w_, client_h_, &v_);
        int found = 0;
        for (size_t i = 0; i < cameras_.size(); ++i)
            if (cameras_[i].name == o_->camera_name) found = static_cast<int>(i) + 1;
        camera_combo_->setCurrentIndex(found);
        choose_camera(found);
    }
    int checks[7] = {v_.ambient, v_.antialias, v_.draft, v_.selected_only, v_.textures, v_.perspective, v_.grey};
    const int ids[7] = {2166, 2158, 2156, 2157, 2159, 2161, 2160};
    for (int i = 0; i < 7; ++i) DDX_Check(dx, ids[i], checks[i]);
    for (int i = 0; i < 5; ++i) {
        int on = v_.method == i;
        DDX_Check(dx, kMethodIds[i], on);
        if (dx->saving() && on) v_.method = i;
    }
    RenderPageValues v = v_;
    if (dx->saving()) {
        v.ambient = checks[0], v.antialias = checks[1], v.draft = checks[2], v.selected_only = checks[3];
        v.textures = checks[4], v.perspective = checks[5], v.grey = checks[6];
        v.size_mode = size_combo_->currentIndex();
    } else {
        size_combo_->setCurrentIndex(v.size_mode);
        if (v.size_mode != 0) {  // the preset's or the window's size
            RenderJobOptions shown = *o_;
            shown.size_mode = v.size_mode;
            (void)render_job_image_size(shown, client_w_, client_h_, &v.width, &v.height);
        }
    }
    ddx_int(dx, 2162, v.perspective_value);
    ddx_int(dx, 2164, v.depth);
    ddx_int(dx, 2199, v.width);
    ddx_int(dx, 2200, v.height);
    DDX_Double(dx, 2207, v.gamma);
    if (dx->saving()) {
        RenderJobOptions o = *o_;
        const RenderPageRangeError err = render_page_write(v, camera() != nullptr, s_, &o);
        if (err.control) int_range_fail(dx, err.control, int64_t(err.low), int64_t(err.high));
        if (v.size_mode != 0) v.width = v_.width, v.height = v_.height;
        v_ = v;
        v_.gamma = s_->gamma;
        o.camera_name = camera() ? camera()->name : "<Viewport>";
        *o_ = o;
    }
    enable();
}

void CRenderPage::enable() {
    const RenderPageEnabled e = render_page_enabled(v_, camera() != nullptr);
    set_enabled(this, 2164, e.depth);
    set_enabled(this, 2162, e.perspective_value);
    set_enabled(this, 2161, e.perspective);
    set_enabled(this, 2199, e.width);
    set_enabled(this, 2200, e.height);
    SetDlgItemText(2168, camera() ? "Camera setup" : "Create camera");
}

void CRenderPage::OnCommand(int id) {
    if (id == 2168) {
        if (!hooks_.camera_setup) return;  // no camera dialog installed
        RenderCameraChoice c = camera() ? *camera() : RenderCameraChoice{};
        // A new camera takes the scene as the sheet shows it, the viewport's record
        // keeping it too.
        if (scene_ && scene_->loaded && !scene_->camera) {
            if (!copy_material(&s_->material, scene_->material)) return;
            s_->background_colour = scene_->colour;
        }
        RenderPreview viewport;
        viewport.perspective = true;
        viewport.perspective_value = v_.perspective_value;
        viewport.selected_only = v_.selected_only;
        if (!hooks_.camera_setup(&c, scene_ && scene_->loaded ? scene_->material : s_->material,
                                 scene_ && scene_->loaded ? scene_->colour : s_->background_colour, viewport))
            return;
        const bool was_chosen = camera() != nullptr;
        // The chosen camera keeps its entry under the name it may have been given.
        int index = was_chosen ? camera_index_ : 0;
        if (index) {
            cameras_[index - 1] = c;
            camera_combo_->setItemText(index, QString::fromStdString(c.name));
        }
        for (size_t i = 0; i < cameras_.size() && !index; ++i)
            if (cameras_[i].name == c.name) cameras_[i] = c, index = static_cast<int>(i) + 1;
        if (!index) {
            cameras_.push_back(c);
            camera_combo_->addItem(QString::fromStdString(c.name));
            index = static_cast<int>(cameras_.size());
        }
        camera_combo_->setCurrentIndex(index);
        // The camera may have moved. A camera set up keeps the scene edited on it (the
        // camera dialog leaves its material alone); a new one shows its own.
        choose_camera(index, true, was_chosen);
        o_->camera_name = c.name;
        return;
    }
    if (!UpdateData(true)) return;
    UpdateData(false);
    // Perspective on or off, and the objects a viewport camera is fitted to.
    if (!camera() && (id == 2161 || (id == 2157 && v_.perspective))) preview(-1);
}

// ---- Animation page ----

CAnimatPage::CAnimatPage(CRenderPage* render_page, RenderJobOptions* options)
    : CPropPage(287, "Animation"), render_(render_page), o_(options) {}

void CAnimatPage::CreateControls() {
    QCheckBox* anim = add_check(2171, "&Animation", 0, 0, 2);
    QObject::connect(anim, &QCheckBox::clicked, this, [this] { OnCommand(2171); });
    add_static(0, "&First", 1, 0);
    add_edit(2169, 1, 1);
    add_static(0, "&Last", 2, 0);
    add_edit(2170, 2, 1);
    const char* kinds[8] = {"S&creen only",  "Animator &Pro FLIC", "&Windows AVI", "&MPEG Movie",
                            "&TARGA frames", "&JPEG frames",      "&GIF frames",  "Windows &BMP frames"};
    for (int i = 0; i < 8; ++i) {
        QRadioButton* r = add_radio(kKindIds[i], kinds[i], 3 + i / 2, i % 2);
        QObject::connect(r, &QRadioButton::clicked, this, [this] { UpdateData(true); });
    }
    for (int id : {2169, 2170})  // leaving an edit reads it
        QObject::connect(static_cast<QLineEdit*>(GetDlgItem(id)), &QLineEdit::editingFinished, this,
                         [this] { UpdateData(true); });
    track_ = new QSlider(Qt::Horizontal, this);
    track_->setRange(0, 100);
    track_->setTickInterval(10);
    track_->setTickPosition(QSlider::TicksBelow);
    register_control(2293, track_);
    if (auto* grid = qobject_cast<QGridLayout*>(layout())) grid->addWidget(track_, 7, 0, 1, 5);
    QObject::connect(track_, &QSlider::sliderMoved, this, [this](int pos) {
        m_.preview = m_.frame_at(pos);
        SetDlgItemText(2173, std::to_string(m_.preview));
    });
    QObject::connect(track_, &QSlider::sliderReleased, this, [this] { render_->preview(m_.preview - 1); });
    // Steps by key or page click end at once, as a released drag does.
    QObject::connect(track_, &QSlider::actionTriggered, this, [this](int action) {
        if (action == QAbstractSlider::SliderMove) return;
        m_.preview = m_.frame_at(track_->sliderPosition());
        SetDlgItemText(2173, std::to_string(m_.preview));
        render_->preview(m_.preview - 1);
    });
    add_static(2173, "1", 8, 0);
    add_button(2294, "&<<", 8, 1);
    add_button(2295, ">>", 8, 2);
    add_button(2296, "&Stop", 8, 3);
    add_button(2297, "&>", 8, 4);
    add_button(2298, "&| |", 8, 5);
}

void CAnimatPage::DoDataExchange(CDataExchange* dx) {
    const RenderCameraChoice* cam = render_->camera();
    const int32_t count = cam && render_job_animates(cam->frame_count) ? cam->frame_count : 1;
    if (!dx->saving() && (!read_ || count != m_.frame_count)) {
        if (!read_) animation_at_entry_ = o_->animation && render_job_animates(count);
        read_ = true;
        m_.read(*o_, count);
        if (m_.preview < m_.first) m_.preview = m_.first;
    }
    int anim = m_.animation;
    DDX_Check(dx, 2171, anim);
    int32_t first = m_.first, last = m_.last;
    ddx_int(dx, 2169, first);
    ddx_int(dx, 2170, last);
    for (int i = 0; i < 8; ++i) {
        int on = m_.output_kind == i;
        DDX_Check(dx, kKindIds[i], on);
        if (dx->saving() && on) m_.output_kind = i;
    }
    if (dx->saving()) {
        if (m_.animation_available()) m_.animation = anim;
        if (m_.animation) {
            AnimationPage trial = m_;
            trial.first = first, trial.last = last;
            if (int bad = trial.check()) int_range_fail(dx, bad, bad == 2169 ? 1 : first, m_.frame_count);
            m_.first = first, m_.last = last;
            m_.clamp_preview();
        }
        m_.write(o_, animation_at_entry_ || m_.animation);
    } else {
        if (track_) track_->setValue(m_.position());
        SetDlgItemText(2173, std::to_string(m_.preview));
    }
    enable();
}

void CAnimatPage::enable() {
    set_enabled(this, 2171, m_.animation_available());
    for (int id : kKindIds) set_enabled(this, id, m_.animation);
    for (int id : {2293, 2294, 2295, 2296, 2297, 2298}) set_enabled(this, id, m_.animation);
    set_enabled(this, 2169, m_.range_enabled());
    set_enabled(this, 2170, m_.range_enabled());
}

void CAnimatPage::show_frame() {
    m_.clamp_preview();
    SetDlgItemText(2173, std::to_string(m_.preview));
    if (track_) track_->setValue(m_.position());
    render_->preview(m_.preview - 1);
}

void CAnimatPage::OnCommand(int id) {
    switch (id) {
        case 2171:
            if (!UpdateData(true)) return;
            m_.stop();
            m_.preview = m_.first;
            render_->preview(-1);
            if (track_) track_->setValue(1);
            UpdateData(false);
            return;
        case 2297: m_.play(); break;
        case 2296: m_.stop(); break;
        case 2298: m_.pause(); break;
        case 2295: m_.step(1); show_frame(); return;
        case 2294: m_.step(-1); show_frame(); return;
        default: return;
    }
    UpdateData(false);
}

intptr_t CAnimatPage::OnMessage(uint32_t message, intptr_t wparam, intptr_t) {
    // Every tick while playing shows the frame: with first equal to last the frame
    // does not advance, yet the drawing must still come to it from its rest pose
    // (the preview itself skips a request equal to the last one).
    if (message == WM_TIMER && static_cast<uint32_t>(wparam) == kTimer && m_.animation && !m_.stopped) {
        m_.tick();
        show_frame();
    }
    return 0;
}

void CAnimatPage::OnSetActive() {
    m_.stop();
    UpdateData(false);
    set_timer(win_id(), kTimer, 20);
}

bool CAnimatPage::OnKillActive() {
    if (!UpdateData(true)) return false;
    kill_timer(win_id(), kTimer);
    m_.stop();
    return true;
}

void CAnimatPage::OnSheetClose() {
    kill_timer(win_id(), kTimer);
    m_.stop();
}

// ---- Scene page ----

CScenePage::CScenePage(MaterialRecord* material, SheetPatterns* patterns)
    : CPropPage(288, "Scene"), m_(material), patterns_(patterns) {}

CScenePage::~CScenePage() = default;

void CScenePage::CreateControls() {
    editor_ = std::make_unique<CSceneMaterialEditor>(m_, patterns_, this, true);
    for (const auto& [id, w] : editor_->controls()) register_control(id, w);
    if (auto* grid = qobject_cast<QGridLayout*>(layout())) {
        const int row = editor_->place_fog(grid, 0, 0);
        grid->addWidget(editor_->background(), row, 0, 1, 4, Qt::AlignTop);
        grid->setRowStretch(row + 1, 1);
    }
}

void CScenePage::DoDataExchange(CDataExchange* dx) { editor_->exchange(dx); }

// ---- compressor choice ----

namespace {
class CCompressorDlg : public CDialog {
  public:
    CCompressorDlg(QWidget* parent, int current) : CDialog(44700, parent), choice_(current == 1 ? 1 : 0) {}
    int choice() const { return choice_; }

  protected:
    void CreateControls() override {
        setWindowTitle("Video Compression");
        add_static(0, "&Compressor:", 0, 0, 2);
        add_radio(44701, "&Full frames (uncompressed)", 1, 0, 2);
        add_radio(44702, "&Motion JPEG", 2, 0, 2);
        add_ok_cancel(3, 2);
    }
    void DoDataExchange(CDataExchange* dx) override {
        int full = choice_ == 0, mjpeg = choice_ == 1;
        DDX_Check(dx, 44701, full);
        DDX_Check(dx, 44702, mjpeg);
        if (dx->saving()) choice_ = mjpeg ? 1 : 0;
    }

  private:
    int choice_;
};

void copy_scalars(RenderSettings* dst, const RenderSettings& src) {
    dst->background_colour = src.background_colour;
    dst->light_mask = src.light_mask;
    for (int i = 0; i < 16; ++i) dst->light_colours[i] = src.light_colours[i];
    dst->flags = src.flags;
    dst->perspective = src.perspective;
    dst->trace_depth = src.trace_depth;
    dst->gamma = src.gamma;
}
}  // namespace

int choose_avi_compressor(QWidget* parent, int current) {
    CCompressorDlg dlg(parent, current);
    return dlg.DoModal() == IDOK ? dlg.choice() : -1;
}

bool run_render_sheet(QWidget* parent, RenderSettings* settings, RenderJobOptions* options,
                      const std::vector<RenderCameraChoice>& cameras, int32_t client_width, int32_t client_height,
                      const RenderPageHooks& hooks, SheetPatterns* patterns, RenderSheetScene* camera_scene) {
    RenderSettings s;
    copy_scalars(&s, *settings);
    struct Release {  // the working copy's ramps and transforms
        MaterialRecord* m;
        ~Release() { material_init(m); }
    } release{&s.material};
    if (material_copy(&s.material, &settings->material) != 0) {
        msgbox_ids(kStrIdError, IDS_NO_MEMORY);
        return false;
    }
    RenderJobOptions o = *options;
    SheetPatterns no_images(nullptr);
    CPropSheet sheet(44703, "Render", parent);
    RenderSheetScene scene;
    auto* render = new CRenderPage(&s, &o, cameras, client_width, client_height, hooks);
    auto* anim = new CAnimatPage(render, &o);
    auto* scene_page = new CScenePage(&scene.material, patterns ? patterns : &no_images);
    scene_page->on_shown([&scene] { scene.shown = scene.shown || scene.camera; });
    render->set_scene(&scene, scene_page);
    sheet.AddPage(render);
    sheet.AddPage(anim);
    sheet.AddPage(scene_page);
    if (sheet.DoModal() != IDOK) return false;
    if (!scene.camera) {
        material_swap(&s.material, &scene.material);
        s.background_colour = scene.colour;
    } else if (camera_scene) {
        camera_scene->shown = scene.shown && scene.changed();  // only looked at: the camera stays as it was
        material_swap(&camera_scene->material, &scene.material);
        camera_scene->colour = scene.colour;
        camera_scene->camera = true;
    }
    if (material_copy(&settings->material, &s.material) != 0) {
        msgbox_ids(kStrIdError, IDS_NO_MEMORY);
        return false;
    }
    copy_scalars(settings, s);
    *options = o;
    return true;
}
