// The 3D Text command: a dialog for the font, size, depth, chamfer and text, a live
// outline preview at the cursor, and solid letters (one MESH3 per glyph inside one
// new group, turned to the view) at the picked point; then the dialog again until it
// is cancelled.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "model/font_outline/glyph_outline.h"
#include "model/math/types.h"
#include "resources/string_ids.h"

class VIEW;

inline constexpr uint32_t kCmdText3D = 15515;
inline constexpr uint32_t kPromptTextPosition = IDS_TEXT_POSITION;  // "Text position"
inline constexpr uint32_t kHelpText3D = 40066;
inline constexpr size_t kText3dMaxChars = 128;  // characters the dialog's text takes

// Message texts of the build errors.
inline constexpr uint32_t kStrNotTrueType = IDS_NOT_TRUETYPE_FILE;        // "This is not a TrueType font file."
inline constexpr uint32_t kStrCantLoadFile = IDS_CANT_LOAD_THIS_FILE;     // "Can't load this file..."
inline constexpr uint32_t kStrIllegalVersion = IDS_ILLEGAL_VERSION;       // "Illegal version"
inline constexpr uint32_t kStrCantOpenFile = IDS_CANT_OPEN_FILE_3DTEXT;   // "Can't open file..."
inline constexpr uint32_t kStrUnknownFormat = IDS_UNKNOWN_FORMAT_3DTEXT;  // "Unknown format"
inline constexpr uint32_t kStrChamferTooLarge = IDS_CHAMFER_TOO_LARGE;    // "Chamfer size is too large"
inline constexpr uint32_t kStrUnknownError = IDS_UNKNOWN_ERROR_3DTEXT;    // "Unknown error "

// The font of 3D text, shared with the dialog; lasts while the program runs.
extern TextFontRecord g_text3d_font;

// The dialog hook: edits the font record, the text (whole, as typed), size, depth
// and chamfer in place and returns true on OK. Installed by the application (the Qt
// dialog) or by tests.
using Text3dDialogFn = bool (*)(VIEW* view, TextFontRecord* font, std::string* text, double* size, double* depth,
                                double* chamfer);
extern Text3dDialogFn g_text3d_dialog;

// Runs the dialog on copies of the text and numbers and writes them back on OK
// only. Without a hook the values stand as they are: the first call of a command
// run answers OK, later ones Cancel.
bool text3d_dialog(VIEW* view, std::string* text, TextFontRecord* font, double* size, double* depth,
                   double* chamfer);
// The same on a text buffer of `text_size` bytes (as the "3DText" setting is kept):
// a longer text is cut on a character boundary.
bool text3d_dialog(VIEW* view, char* face_name, size_t face_size, char* text, size_t text_size,
                   TextFontRecord* font, double* size, double* depth, double* chamfer);

// The text the 3D Text command offers and builds: the whole text last typed in this
// run of the program, while the "3DText" setting (cut to its buffer) still matches
// it; otherwise the setting.
std::string text3d_current_text();

// Builds the text's solids at `position` (the view's orientation) as one group and
// one undo level. 0 (also for a null or empty text), 13 (a size that is not above 0
// or not finite), 34 (a chamfer below 0 or above depth / 2, or one that folds a
// letter), the font codes and 8. Every failure shows its message under "ERROR" and
// leaves the drawing and its history as they were.
[[nodiscard]] int text3d_place(VIEW* view, const Vec3& position, const TextFontRecord& font,
                               const char* text, double h, double d, double c);

// The message of a build result (empty for 0).
std::string text3d_error_text(int code);

[[nodiscard]] int cmd_text3d(VIEW** view_ref);
