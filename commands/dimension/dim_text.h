// The text of a dimension before it is placed: the default text with its caption
// and unit, the query through the text dialog (when the "Dimension" preference
// asks for it), and the values the settings dialog edits. The dialogs themselves
// live on the window side and are reached through hooks installed at start-up;
// without a hook the default text is taken as it is and the settings stay.
// User-interface thread only.
#pragma once

#include <string>

class VIEW;

// Dimension kinds as the text query takes them: the modes of the command table
// (DimMode, dim_layout.h) 0-7: 0-2 linear, 3 and 4 radius, 5 diameter, 6 and 7 angle.
inline constexpr int kDimKindDiameter = 5;
// The stroke fonts' diameter sign.
inline constexpr char kStrokeDiameterSign = 4;

// Longest text, upper or lower tolerance the text dialog takes (bytes).
inline constexpr int kDimTextMax = 31;

struct DimTextDefault {
    std::string text;     // "R10.00", "\x04" "20.00", "20\x07 0'", "30.00"
    std::string caption;  // "Radius", "Diameter", "Angle" or "Dimension"
    std::string unit;     // "mm", "\"", "deg" or "rad"
};
// The default text of a value (a length in millimetres, or an angle in radians)
// for a kind, in the VIEW's units.
DimTextDefault dim_default_text(const VIEW* view, double value, int kind);

// What the text dialog shows and gives back. `text` is in the stroke font's code
// page (see dim_text_to_utf8); for a diameter it is the part behind the sign.
struct DimTextDialogData {
    std::string title;  // "Diameter ( mm )"
    std::string text, upper, lower;
    int upper_on = 1, lower_on = 1;
    int query = 1;  // the "&Query" box: 1 asks again next time
};
// The dialog: 1 on OK with `data` edited, 0 on Cancel.
using DimTextDialogFn = int (*)(VIEW* view, DimTextDialogData* data);
void dim_set_text_dialog(DimTextDialogFn fn);

// Fills the three texts and lets the user change them: 1 to go on, 0 when the
// user cancelled (nothing written back then). The tolerances stay empty when the
// query preference is set or their switch is off.
int dim_text_query(VIEW* view, double value, int kind, std::string* text, std::string* lower,
                   std::string* upper);

// Stroke-font text (byte 7 the degree sign, other bytes Latin-1) to UTF-8 for the
// dialog, and back: U+00B0 becomes 7, other code points up to U+00FF their byte,
// anything else '?'. Invalid UTF-8 bytes are taken as Latin-1.
std::string dim_text_to_utf8(const std::string& text);
std::string dim_text_from_utf8(const std::string& utf8);

// ---- The settings dialog's values (sizes in the VIEW's unit: inches when its
// length unit is not 0).
struct DimSettingsValues {
    int line_colour = 1, text_colour = 7;
    int arrows = 0, leader = 0, dframe = 0, lframe = 0;  // radio rows (-1 none checked)
    int text_mode = 0;                                   // 1: the second button
    double text_height = 5, arrow_size = 4.5, line_width = 0.4;
    int upper_on = 1, lower_on = 1;
    int query = 1;  // the "&Query" box (set when the preference is 0)
    bool inches = false;
};
// The values the dialog opens with; a setting outside its row (from the settings
// file) leaves that row unchecked (-1).
DimSettingsValues dim_settings_load(const VIEW* view);
// Upper bound of the text height and arrow size edits, and of the line width.
double dim_settings_size_max(bool inches);
double dim_settings_width_max(bool inches);
// Writes confirmed values back: sizes (text width and gap follow the height), the
// colours and switches into the VIEW, the styles through their setters, each
// followed by its settings-file write, and the query preference.
void dim_settings_store(VIEW* view, const DimSettingsValues& values);
// The colour index a colour button shows: on a black background 7 shows as 0 and
// 15 as 8, otherwise 0 as 7 and 8 as 15.
int dim_display_colour(int index, bool black_background);

// The dialog: true on OK (values edited), false on Cancel.
using DimSettingsDialogFn = bool (*)(VIEW* view, DimSettingsValues* values);
void dim_set_settings_dialog(DimSettingsDialogFn fn);
// Loads, runs the dialog and stores on OK. Nothing happens without a hook.
void dim_settings_edit(VIEW* view);
