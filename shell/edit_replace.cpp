// Replacing an edit control's selection, not undoable.
#include "shell/edit_replace.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>

namespace {

bool replace_in_line(QLineEdit* e, const QString& text) {
    if (e->isReadOnly()) return false;
    const QString old = e->text();
    const int start = e->hasSelectedText() ? e->selectionStart() : e->cursorPosition();
    const int length = e->hasSelectedText() ? int(e->selectedText().size()) : 0;
    // setText empties the undo history: the replacement cannot be undone.
    e->setText(old.left(start) + text + old.mid(start + length));
    e->setCursorPosition(start + int(text.size()));
    return true;
}

template <class Edit>
bool replace_in_document(Edit* e, const QString& text) {
    if (e->isReadOnly()) return false;
    const bool undo = e->isUndoRedoEnabled();
    // Switching the history off empties it, before and after the insertion.
    e->setUndoRedoEnabled(false);
    QTextCursor c = e->textCursor();
    c.insertText(text);
    e->setTextCursor(c);
    e->setUndoRedoEnabled(undo);
    return true;
}

}  // namespace

bool edit_replace_sel(QWidget* edit, const std::string& text) {
    const QString t = QString::fromUtf8(text.data(), qsizetype(text.size()));
    if (auto* combo = qobject_cast<QComboBox*>(edit)) edit = combo->lineEdit();
    if (auto* line = qobject_cast<QLineEdit*>(edit)) return replace_in_line(line, t);
    if (auto* plain = qobject_cast<QPlainTextEdit*>(edit)) return replace_in_document(plain, t);
    if (auto* rich = qobject_cast<QTextEdit*>(edit)) return replace_in_document(rich, t);
    return false;
}
