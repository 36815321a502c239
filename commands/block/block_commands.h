// The block and text-import commands of a drawing view: Save Block (32777) writes
// chosen objects with a base point to a block file, Load Block (32776) inserts a
// block file at a point, Import Text (32781) places a plain text file's lines as 2D
// texts in the view's text style.
//
// The commands ask for files through a hook the dialogs install (tests set it);
// without one they end without doing anything. Plain C++; user-interface thread.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

class VIEW;
struct StrokeFont;

struct BlockFileHooks {
    // Asks for a file of `pattern` ("*.mcr", "*.txt"); `save` for a file to write.
    // False when cancelled; `name` holds the chosen path on true.
    std::function<bool(std::string* name, const char* pattern, bool save)> choose_file;
};
BlockFileHooks& block_file_hooks();

// The commands (arg: a word holding the VIEW). 0, a step code (-1, -2) or an engine
// code after its message.
[[nodiscard]] int cmd_save_block(void* arg);
// Asks for the file and the insertion point, then inserts as one undo level.
[[nodiscard]] int cmd_load_block_ask(void* arg);
[[nodiscard]] int cmd_import_text(void* arg);

// Limits of Import Text: larger files are refused with a message; longer lines are
// cut into pieces of at most kImportMaxLineChars characters, each its own text.
inline constexpr size_t kImportMaxBytes = size_t(8) << 20;
inline constexpr size_t kImportMaxLines = 20000;
inline constexpr size_t kImportMaxLineChars = 250;

// The lines of a text file's bytes as the font's 8-bit codes: UTF-8 decoded (a byte
// that is no part of a valid sequence counts as one unshowable character), tabs
// expanded to the next multiple of 8 columns, carriage returns at line ends dropped,
// every character the font cannot show (NUL and other controls included) replaced
// by '?'. Lines longer than kImportMaxLineChars are split. `replaced` counts the
// replacements. A null font takes Latin-1-like codes (what the draw2d code page
// gives). Empty lines stay (as empty strings). Decoding stops once more than
// kImportMaxLines lines are made (such a file is refused).
std::vector<std::string> import_text_lines(const std::string& bytes, const StrokeFont* font, size_t* replaced);
