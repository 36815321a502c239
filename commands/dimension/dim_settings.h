// The five style settings of every dimension, process-wide and kept in the
// settings section "dimension": text mode, the end marks of dimension lines and of
// the arrow commands' leaders, and two frame kinds. Read at start-up, written at
// exit and after every confirmed settings dialog. User-interface thread only.
#pragma once

// End marks ("arrows", "leader").
inline constexpr int kDimMarkArrow = 0;      // filled arrowhead
inline constexpr int kDimMarkOpenArrow = 1;  // open arrowhead
inline constexpr int kDimMarkDot = 2;
inline constexpr int kDimMarkSlash = 3;
inline constexpr int kDimMarkNone = 4;
// Frames around a dimension text ("dframe", "lframe").
inline constexpr int kDimFrameNone = 0;
inline constexpr int kDimFrameRectangle = 1;
inline constexpr int kDimFrameRoundEnds = 2;  // rectangle with round ends
inline constexpr int kDimFrameCircle = 3;

// Each setter keeps the value only when it is below its bound (a signed
// comparison: negative values are kept too) and otherwise leaves the old one.
// Every setting is 0 until the settings are loaded.

// Text mode, below 2: 1 runs the text along the dimension line or arc; any other
// value writes it horizontally ("text").
int dim_get_text_mode();
void dim_set_text_mode(int value);
// End mark of dimension lines and arcs, below 5: a kDimMark* ("arrows").
int dim_get_arrows();
void dim_set_arrows(int value);
// End mark of the lines of the arrow commands, below 5, the same kinds ("leader").
int dim_get_leader();
void dim_set_leader(int value);
// A second frame kind, below 4: edited, loaded and saved; no dimension reads it
// ("lframe").
int dim_get_lframe();
void dim_set_lframe(int value);
// Frame around every dimension text, below 4: a kDimFrame* ("dframe").
int dim_get_dframe();
void dim_set_dframe(int value);

// Loads (flag non-zero) or saves (flag 0) the five settings in the order "text",
// "arrows", "leader", "lframe", "dframe" through pref_int in section "dimension",
// the current value being the default. A load stores what it reads as it is,
// without the setters' bounds. A save writes the file once.
void dim_prefs_io(int load);
// Start-up and exit: dim_prefs_io(1) and dim_prefs_io(0).
void dim_prefs_load();
void dim_prefs_save();
