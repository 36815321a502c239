// The font dialog: QFontDialog with the program's texts, answering a font record
// that fontconfig has resolved to a font file FreeType can open. A test hook
// answers instead of a user.
#pragma once

#include <functional>
#include <string>

class QFontDialog;
class QWidget;

struct FontRecord {
    std::string family;      // as chosen ("DejaVu Sans")
    std::string style;       // "Bold Italic", "Regular" ...
    double point_size = 10;  // points
    int weight = 400;        // CSS-like weight, 100 to 900
    bool italic = false;
    std::string file;        // the font file fontconfig matched (empty when none)
    int face_index = 0;      // the face inside that file
};

// Resolves family, weight and slant through fontconfig into file and face index;
// false (and the file emptied) when fontconfig finds nothing.
bool font_record_resolve(FontRecord* font);

class CXFont {
  public:
    // `initial` preselects the dialog's font; `parent` may be null.
    explicit CXFont(const FontRecord& initial, QWidget* parent = nullptr);
    ~CXFont();
    CXFont(const CXFont&) = delete;
    CXFont& operator=(const CXFont&) = delete;

    // Runs the dialog: true on OK with font() the chosen, resolved font.
    bool DoModal();
    const FontRecord& font() const { return font_; }
    QFontDialog* dialog() const { return dlg_; }

  private:
    QFontDialog* dlg_;
    FontRecord font_;
};

// Answers font dialogs in tests: gets the dialog (select a font on it) and returns
// true for OK.
using FontDialogHook = std::function<bool(QFontDialog& dlg)>;
FontDialogHook xfont_set_test_hook(FontDialogHook hook);
