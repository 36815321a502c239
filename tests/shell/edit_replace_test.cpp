// Replacing the selection of an edit control from code, not undoable.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <memory>

#include "shell/edit_replace.h"
#include "tests/platform/qt_test_env.h"

TEST(EditReplaceSel, ReplacesTheSelectionAndLeavesNothingToUndo) {
    // "12.5 mm" with "12.5" selected becomes "3 mm"; without a selection the text
    // goes in at the caret.
    QLineEdit line("12.5 mm");
    line.setSelection(0, 4);
    ASSERT_TRUE(edit_replace_sel(&line, "3"));
    EXPECT_EQ(line.text(), "3 mm");
    EXPECT_EQ(line.cursorPosition(), 1);
    EXPECT_FALSE(line.isUndoAvailable());
    ASSERT_TRUE(edit_replace_sel(&line, "°"));
    EXPECT_EQ(line.text(), "3° mm");

    QComboBox combo;
    combo.setEditable(true);
    combo.setEditText("ab");
    combo.lineEdit()->setSelection(1, 1);
    ASSERT_TRUE(edit_replace_sel(&combo, "xyz"));
    EXPECT_EQ(combo.currentText(), "axyz");

    QPlainTextEdit plain("first line");
    QTextCursor c = plain.textCursor();
    c.setPosition(0);
    c.setPosition(5, QTextCursor::KeepAnchor);
    plain.setTextCursor(c);
    ASSERT_TRUE(edit_replace_sel(&plain, "one"));
    EXPECT_EQ(plain.toPlainText(), "one line");
    EXPECT_FALSE(plain.document()->isUndoAvailable());
    EXPECT_TRUE(plain.isUndoRedoEnabled());

    QTextEdit rich;
    rich.setPlainText("x");
    rich.moveCursor(QTextCursor::End);
    ASSERT_TRUE(edit_replace_sel(&rich, "y"));
    EXPECT_EQ(rich.toPlainText(), "xy");
    EXPECT_FALSE(rich.document()->isUndoAvailable());

    // Not an edit control, or one the user may not change: nothing happens.
    QLabel label("a");
    EXPECT_FALSE(edit_replace_sel(&label, "b"));
    QLineEdit locked("a");
    locked.setReadOnly(true);
    EXPECT_FALSE(edit_replace_sel(&locked, "b"));
    EXPECT_EQ(locked.text(), "a");
    EXPECT_FALSE(edit_replace_sel(nullptr, "b"));
}
