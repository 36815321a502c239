// The parameter dialogs the 2D drawing commands open through the options key and at
// the end of a contour, reached through an interface so that the commands stay free
// of any window system: the dialogs library installs the real dialogs at start-up,
// tests install scripted answers. Without an installed set the dialogs are cancelled
// (the hatch style is accepted as it is).
#pragma once

class VIEW;

class Draw2dDialogs {
  public:
    virtual ~Draw2dDialogs() = default;
    // The Regular Polygon dialog: the chosen segment count (3 to 100), or -1 when
    // cancelled.
    virtual int polygon_count(VIEW* view, int current) = 0;
    // The Text Settings dialog on the view's text style (font among the drawing's
    // fonts, height, width, oblique, slope, line width): true on OK, with the VIEW
    // changed.
    virtual bool text_settings(VIEW* view) = 0;
    // The hatch style dialog on the view (pattern or none, scale, angle, line width):
    // -1 cancelled, 0 OK.
    virtual int hatch_style(VIEW* view) = 0;
};

// Installs the dialogs (null: none); returns the previous set.
Draw2dDialogs* draw2d_set_dialogs(Draw2dDialogs* dialogs);
Draw2dDialogs* draw2d_dialogs();

// The dialogs as the commands call them.
// Stores a changed count in the VIEW; true when it changed.
bool regular_polygon_dialog(VIEW* view);
bool text_settings_dialog(VIEW* view);
int hatch_style_settings(VIEW* view);
