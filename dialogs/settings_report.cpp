// The drawing report: a text of the drawing's contents chosen by the "Info" bits,
// shown in its dialog and written to a text file on request.
#include <QGridLayout>
#include <QPlainTextEdit>
#include <map>
#include <sstream>

#include "commands/input/zoom.h"
#include "dialogs/settings_dialogs.h"
#include "dialogs/xfile.h"
#include "graphics/view/view.h"
#include "graphics/view/view_host.h"
#include "model/db/find.h"
#include "model/db/patt.h"
#include "model/db/solid.h"
#include "model/db/wire.h"
#include "model/services/error_text.h"
#include "model/services/msgbox.h"
#include "model/services/prefs.h"
#include "model/services/safe_file.h"
#include "model/services/strtab.h"
#include "resources/string_ids.h"

namespace {

struct InfoBit {
    int bit;
    const char* label;
};
constexpr InfoBit kInfoBits[] = {
    {1, "&Summary"},        {2, "&Extents"},          {4, "&Views"},      {8, "&Layers"},
    {16, "Line st&yles"},   {32, "&Hatch patterns"},  {64, "&Fonts"},     {128, "&Images"},
    {256, "Stored view&points"}, {512, "&Cameras"},   {1024, "Li&ghts"},  {2048, "&Meshes"},
    {4096, "Line &work"},   {8192, "&Animation"},
};

void list_patterns(std::ostringstream& o, MODEL* m, const RtcClass* cls, const char* title) {
    o << title << ":\n";
    int n = 0;
    if (ZDLIST* p = m->patterns) {
        do {
            if (rtc_is_a(p, cls)) {
                o << "  " << static_cast<ZOBJ*>(p)->name() << "\n";
                ++n;
            }
            p = p->next;
        } while (p != m->patterns);
    }
    if (n == 0) o << "  (none)\n";
}

class CReportDlg : public CDlg {
  public:
    CReportDlg(VIEW* v) : CDlg(kDlgReport, nullptr), v_(v), info_(g_prefs.info) {}

  protected:
    void CreateControls() override {
        int row = 0, col = 0;
        for (const InfoBit& b : kInfoBits) {
            add_check(kIdcSet + 60 + row * 2 + col, b.label, row, col);
            if (++col == 2) col = 0, ++row;
        }
        auto* text = new QPlainTextEdit(this);
        text->setReadOnly(true);
        text->setMinimumSize(420, 240);
        register_control(kIdcSet + 80, text);
        qobject_cast<QGridLayout*>(layout())->addWidget(text, 0, 2, row + 1, 2);
        add_button(kIdcSet + 81, "&Refresh", row + 1, 0);
        add_button(kIdcSet + 82, "Sa&ve...", row + 1, 1);
        add_ok_cancel(row + 2, 4);
    }
    void DoDataExchange(CDataExchange* dx) override {
        int i = 0;
        for (const InfoBit& b : kInfoBits) {
            int on = (info_ & b.bit) ? 1 : 0;
            DDX_Check(dx, kIdcSet + 60 + i++, on);
            info_ = on ? (info_ | b.bit) : (info_ & ~b.bit);
        }
        if (dx->saving()) g_prefs.info = info_;
    }
    bool OnInitDialog() override {
        CDlg::OnInitDialog();
        refresh();
        return true;
    }
    void OnCommand(int id) override {
        read_bits();
        refresh();
        if (id == kIdcSet + 82) save();
    }

  private:
    void read_bits() {
        int i = 0;
        for (const InfoBit& b : kInfoBits)
            info_ = IsDlgButtonChecked(kIdcSet + 60 + i++) ? (info_ | b.bit) : (info_ & ~b.bit);
    }
    void refresh() {
        text_ = drawing_report_text(view_drawing(v_), v_, info_);
        if (auto* t = qobject_cast<QPlainTextEdit*>(GetDlgItem(kIdcSet + 80))) t->setPlainText(QString::fromStdString(text_));
    }
    void save() {
        std::string name = "info.txt";
        if (!single_type_save_dialog(&name, "*.txt", this) || name.empty()) return;
        // As every save: a pipe or a read-only file is refused at once, and a failed
        // write leaves the file as it was.
        if (const int e = safe_write_file(name.c_str(), text_.data(), text_.size()))
            msgbox_printf(kStrIdError, "%s|%s (%s)", res_load_string(IDS_CANT_WRITE_REPORT).c_str(), name.c_str(),
                          error_code_text(e, name.c_str(), FileAccess::write).c_str());
    }
    VIEW* v_;
    int info_;
    std::string text_;
};

}  // namespace

std::string drawing_report_text(MODEL* m, const VIEW* view, int info) {
    std::ostringstream o;
    if (!m) return "";
    std::map<std::string, int> classes;
    int layers = 0, cameras = 0, lights = 0, meshes = 0, objects = 0;
    long long vertices = 0, faces = 0;
    std::ostringstream cam_list, light_list, mesh_list, layer_list, vport_list;
    for (ZOBJ* p = tree_next(m, m); p; p = tree_next(p, m)) {
        const RtcClass* k = p->klass();
        if (rtc_is_a(p, &LAYER::rtc_class)) {
            ++layers;
            layer_list << "  " << p->name() << "\n";
            continue;
        }
        if (rtc_is_a(p, &VPORT::rtc_class)) {
            vport_list << "  " << p->name() << "\n";
            continue;
        }
        if (!rtc_is_a(p, &object::rtc_class)) continue;
        ++objects;
        classes[k->name]++;
        if (auto* c = rtc_cast<CAMERA>(p)) {
            ++cameras;
            cam_list << "  " << c->name() << "\n";
        } else if (auto* l = rtc_cast<LIGHT>(p)) {
            ++lights;
            light_list << "  " << l->name() << "\n";
        } else if (auto* mesh = rtc_cast<MESH3>(p)) {
            ++meshes;
            long long v = 0, f = 0;
            for (const MeshFaceBlock* b = mesh->blocks; b; b = b->next) v += b->vertices.size(), f += b->faces.size();
            vertices += v, faces += f;
            mesh_list << "  " << (mesh->name()[0] ? mesh->name() : "(unnamed)") << ": " << v << " vertices, " << f
                      << " faces\n";
        }
    }
    if (info & 1) {
        // The drawing as its window names it: the file's name, once it has one.
        std::string title = view ? view_doc_path(const_cast<VIEW*>(view)) : std::string();
        title = title.substr(title.rfind('/') + 1);
        if (title.empty()) title = m->name()[0] ? m->name() : "(untitled)";
        o << "Drawing: " << title << "\n";
        o << "Objects: " << objects << ", layers: " << layers << "\n\n";
    }
    if ((info & 2) && view) {
        const BBox b = view_extents(view);
        if (b.min.x <= b.max.x)
            o << "Extents (view): " << b.min.x << ", " << b.min.y << " to " << b.max.x << ", " << b.max.y << "\n\n";
        else
            o << "Extents: empty\n\n";
    }
    if (info & 4) {
        o << "Views:\n";
        for (VIEW* v = drawing_first_view(m); v; v = drawing_next_view(v))
            o << "  " << v->name << ", scale " << v->projection.scale << "\n";
        o << "\n";
    }
    if (info & 8) o << "Layers:\n" << (layers ? layer_list.str() : "  (none)\n") << "\n";
    if (info & 16) list_patterns(o, m, &LINEPATT::rtc_class, "Line styles"), o << "\n";
    if (info & 32) list_patterns(o, m, &HATCHPATT::rtc_class, "Hatch patterns"), o << "\n";
    if (info & 64) list_patterns(o, m, &FONTPATT::rtc_class, "Fonts"), o << "\n";
    if (info & 128) list_patterns(o, m, &MATRPATT::rtc_class, "Images"), o << "\n";
    if (info & 256) o << "Stored viewpoints:\n" << (vport_list.str().empty() ? "  (none)\n" : vport_list.str()) << "\n";
    if (info & 512) o << "Cameras: " << cameras << "\n" << cam_list.str() << "\n";
    if (info & 1024) o << "Lights: " << lights << "\n" << light_list.str() << "\n";
    if (info & 2048)
        o << "Meshes: " << meshes << " (" << vertices << " vertices, " << faces << " faces)\n" << mesh_list.str() << "\n";
    if (info & 4096) {
        o << "Objects by class:\n";
        for (const auto& [name, n] : classes) o << "  " << name << ": " << n << "\n";
        o << "\n";
    }
    if (info & 8192) o << "Animation: " << m->frame_count << " frames\n";
    return o.str();
}

void report_dialog_show(VIEW* view) {
    if (!view) return;
    CReportDlg dlg(view);
    dlg.DoModalHelp(40085);
}
