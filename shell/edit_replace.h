// Replacing the selected text of an edit control from code (a picked value put into
// a dialog's field, a text inserted at the caret).
#pragma once

#include <string>

class QWidget;

// Replaces the selection of an edit control (a line edit, an editable combo box, a
// plain or rich text edit) with `text` (UTF-8); with nothing selected the text goes in
// at the caret, which then stands after it. Not undoable: the control's undo history
// is emptied. False (nothing done) for any other widget or a read-only control.
bool edit_replace_sel(QWidget* edit, const std::string& text);
