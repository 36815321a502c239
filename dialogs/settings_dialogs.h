// The settings dialogs that the drawing view's commands run on their VIEW: zooming,
// view point (and the predefined view points), user defined views, line style,
// layers, grid, drawing aids and coordinate system; and the preferences sheet.
//
// Each dialog shows the VIEW's fields it edits; OK writes back exactly the fields
// whose controls the user changed (an untouched field keeps its value to the last
// bit, whatever the shown precision), Cancel changes nothing. Values read from a
// drawing file that a control cannot show sensibly (zero, negative or not finite
// steps, scales and factors) are shown as the control's default. User-interface
// thread only.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "dialogs/dlg.h"
#include "resources/string_ids.h"

class VIEW;
class MODEL;
class QWidget;

// Template ids (captions are string-table entries under these ids).
inline constexpr int kDlgZooming = IDD_ZOOMING;
inline constexpr int kDlgViewPoint = IDD_VIEW_POINT;
inline constexpr int kDlgUserViews = IDD_USER_VIEWS;
inline constexpr int kDlgGrid = IDD_GRID;
inline constexpr int kDlgDrawingAids = IDD_DRAWING_AIDS;
inline constexpr int kDlgCoordinates = IDD_COORDINATES;
inline constexpr int kDlgLayers = IDD_LAYERS;
inline constexpr int kDlgPreferences = IDD_PREFERENCES;
inline constexpr int kDlgPrefPage = IDD_PREF_PAGE;
inline constexpr int kDlgPrefMessages = IDD_PREF_MESSAGES;
inline constexpr int kDlgPrefToolbars = IDD_PREF_TOOLBARS;
inline constexpr int kDlgLineStyleSettings = IDD_LINE_STYLE_SETTINGS;
inline constexpr int kDlgReport = 280;

// Control ids of the settings dialogs start here (1024..1279: the base leaves their
// texts alone).
inline constexpr int kIdcSet = 1100;

// A dialog that remembers what its controls showed when it opened, so that OK
// writes back only what the user changed.
class CSettingsDlg : public CDlg {
  public:
    CSettingsDlg(int template_id, QWidget* parent) : CDlg(template_id, parent) {}
    // The control's text, check state or choice differs from when the dialog opened.
    bool edited(int id) const;

  protected:
    bool OnInitDialog() override;
    void snapshot();

  private:
    std::vector<std::pair<int, std::string>> shown_;
};

// The state of a control as text: an edit's text, "1"/"0" for a button, the chosen
// index of a combo box or list, the check states of a list's items.
std::string control_state(QWidget* w);

// Makes the radio buttons `ids` of `dlg` one group of their own (radio buttons of
// one dialog otherwise exclude each other across groups).
void radio_group(CDialog* dlg, std::initializer_list<int> ids);

// A value a control can show: `v` when finite and above zero, else `fallback`.
double positive_or(double v, double fallback);
// `v` when finite, else `fallback`.
double finite_or(double v, double fallback);

// ---- The view's direction

// Turns the VIEW to look along -dir (dir points from the drawing to the viewer),
// world Z up on screen (for a vertical direction world Y is up). A zero or
// non-finite direction changes nothing (false).
bool view_set_direction(VIEW* view, double dx, double dy, double dz);
// Azimuth (from +X, counter-clockwise, radians 0..2pi) and elevation (-pi/2..pi/2)
// of the direction to the viewer.
void view_direction_angles(const VIEW* view, double* azimuth, double* elevation);
// Applies a stored viewport (rotation angles about X, Y, Z, origin x, y, scale) to
// the view; false (nothing changed) when its values are not finite or its scale is
// not positive.
class VPORT;
bool vport_apply(VIEW* view, const VPORT* p);
// The drawing's stored viewports in ring order.
std::vector<VPORT*> stored_views(MODEL* model);

// ---- Entry points of the commands (each applies its result to the view itself;
// true when OK changed something or was pressed)

bool zooming_dialog(VIEW* view);                 // 15303
bool view_point_dialog(VIEW** view_ref);         // 15304
bool user_view_dialog(VIEW* view);               // 15305
bool line_style_settings(VIEW* view);            // 15307
bool layers_dialog(VIEW* view);                  // 15308
bool grid_settings_dialog(VIEW* view);           // 15309
bool drawing_aids_dialog(VIEW** view_ref);       // 15310
bool coordinate_system_dialog(VIEW* view);       // 15311
// Predefined views 6010 Front, 6011 Right, 6012 Top, 6013 Back, 6014 Left,
// 6015 Bottom: the view turned and fitted to the drawing. False for another id.
bool view_point_preset(VIEW* view, int id);

// The preferences sheet on page 0 (Preferences), 1 (Messages) or 2 (Toolbars). On OK
// the preferences change; a changed undo depth trims every open drawing's history
// (at once, or when the running command has ended: a command may hold objects of
// the levels). True on OK.
bool preferences_dialog(int start_page);
// Trims the history of every open drawing to the undo depth preference; while a
// command runs, the trim waits until it has ended. The number of drawings trimmed
// now (0 when it waits).
int preferences_trim_open_drawings();
// True while a trim waits for the running command.
bool preferences_trim_pending();

// The drawing report (template 280): contents chosen by the "Info" bits, the text
// shown and, on Save, written to a file.
void report_dialog_show(VIEW* view);
// The report text of a drawing for the contents bits.
std::string drawing_report_text(MODEL* model, const VIEW* view, int info);

// Installs the handlers of the commands above into the drawing views and the main
// frame, and the file choices of the block and text commands.
void settings_dialogs_install();
