// The font dialog and fontconfig resolution of the chosen font.
#include "dialogs/xfont.h"

#include <fontconfig/fontconfig.h>

#include <QFontDatabase>
#include <QFontDialog>

#include "dialogs/dlg.h"
#include "model/font_outline/glyph_outline.h"
#include "model/services/strtab.h"
#include "resources/string_ids.h"

namespace {

FontDialogHook g_hook;

FontRecord record_of(const QFont& f) {
    FontRecord r;
    r.family = f.family().toStdString();
    r.style = f.styleName().toStdString();
    r.point_size = f.pointSizeF() > 0 ? f.pointSizeF() : f.pointSize();
    r.weight = f.weight();
    r.italic = f.italic();
    return r;
}

}  // namespace

FontDialogHook xfont_set_test_hook(FontDialogHook hook) {
    FontDialogHook old = std::move(g_hook);
    g_hook = std::move(hook);
    return old;
}

bool font_record_resolve(FontRecord* font) {
    font->file.clear();
    font->face_index = 0;
    if (!FcInit()) return false;
    FcPattern* pat = FcPatternCreate();
    if (!pat) return false;
    FcPatternAddString(pat, FC_FAMILY, reinterpret_cast<const FcChar8*>(font->family.c_str()));
    FcPatternAddInteger(pat, FC_WEIGHT, fontconfig_weight(font->weight));
    FcPatternAddInteger(pat, FC_SLANT, font->italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pat, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pat, FcMatchPattern);
    FcDefaultSubstitute(pat);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pat, &result);
    FcPatternDestroy(pat);
    if (!match) return false;
    FcChar8* file = nullptr;
    int index = 0;
    if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file)
        font->file = reinterpret_cast<const char*>(file);
    if (FcPatternGetInteger(match, FC_INDEX, 0, &index) == FcResultMatch) font->face_index = index;
    FcPatternDestroy(match);
    return !font->file.empty();
}

CXFont::CXFont(const FontRecord& initial, QWidget* parent) : font_(initial) {
    QFont f(QString::fromStdString(initial.family));
    if (initial.point_size > 0) f.setPointSizeF(initial.point_size);
    f.setWeight(static_cast<QFont::Weight>(initial.weight));
    f.setItalic(initial.italic);
    dlg_ = new QFontDialog(f, parent);
    dlg_->setOption(QFontDialog::DontUseNativeDialog, true);
    dlg_->setWindowTitle(QString::fromStdString(res_load_string(IDS_FONT)));
    dlg_load_control_texts(dlg_);
}

CXFont::~CXFont() { delete dlg_; }

bool CXFont::DoModal() {
    const bool ok = g_hook ? g_hook(*dlg_) : dlg_->exec() == QDialog::Accepted;
    if (!ok) return false;
    font_ = record_of(dlg_->currentFont());
    font_record_resolve(&font_);
    return true;
}
