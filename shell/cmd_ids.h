// Command ids of menus, toolbars and accelerators, and the ranges of the drawing
// commands. The values are the program's own and are stored nowhere but in the
// menu and accelerator resources.
#pragma once

// Framework commands.
inline constexpr int ID_FILE_NEW = 57600;
inline constexpr int ID_FILE_OPEN = 57601;
inline constexpr int ID_FILE_CLOSE = 57602;
inline constexpr int ID_FILE_SAVE = 57603;
inline constexpr int ID_FILE_SAVE_AS = 57604;
inline constexpr int ID_FILE_PRINT_SETUP = 57606;
inline constexpr int ID_FILE_PAGE_SETUP = 57605;
inline constexpr int ID_FILE_PRINT = 57607;
inline constexpr int ID_FILE_PRINT_PREVIEW = 57609;
inline constexpr int ID_FILE_MRU_FIRST = 57616;  // four recent files
inline constexpr int ID_FILE_MRU_LAST = 57619;
inline constexpr int ID_WINDOW_NEW = 57648;
inline constexpr int ID_WINDOW_ARRANGE = 57649;
inline constexpr int ID_WINDOW_CASCADE = 57650;
inline constexpr int ID_WINDOW_TILE_HORZ = 57651;
inline constexpr int ID_WINDOW_TILE_VERT = 57652;
inline constexpr int ID_APP_ABOUT = 57664;
inline constexpr int ID_APP_EXIT = 57665;
inline constexpr int ID_VIEW_TOOLBAR = 59392;
inline constexpr int ID_VIEW_STATUS_BAR = 59393;

// Program commands.
inline constexpr int ID_SETTINGS_KEY = 2013;  // F10: the running command's settings
inline constexpr int ID_OPEN_IMAGE = 32778;
inline constexpr int ID_PREFERENCES = 32773;
inline constexpr int ID_TOGGLE_TOOLBARS = 32789;
inline constexpr int ID_RESET_TOOLBARS = 32772;
inline constexpr int ID_CUSTOMIZE = 32771;
inline constexpr int ID_EXPORT = 32774;
inline constexpr int ID_LOAD_BLOCK = 32776;
inline constexpr int ID_SAVE_BLOCK = 32777;
inline constexpr int ID_REPORT = 32779;
inline constexpr int ID_IMPORT_TEXT = 32781;
inline constexpr int ID_EDIT_COPY = 32782;
inline constexpr int ID_EDIT_PASTE = 32783;
inline constexpr int ID_EDIT_UNDO = 32784;
inline constexpr int ID_EDIT_REDO = 32785;
inline constexpr int ID_SAVE_CMYK = 32786;
inline constexpr int ID_NEXT_WINDOW = 32790;
inline constexpr int ID_PREV_WINDOW = 32791;
inline constexpr int ID_CLOSE_WINDOW = 32792;
inline constexpr int ID_READOUT_FIRST = 32793;
inline constexpr int ID_READOUT_LAST = 32800;
inline constexpr int ID_KEYS_INFO = 32801;
inline constexpr int ID_ZOOM_WINDOW = 15301;
inline constexpr int ID_ZOOM_ALL = 15302;
// The view's settings dialogs.
inline constexpr int ID_ZOOM_CUSTOM = 15303;
inline constexpr int ID_VIEWPOINT = 15304;
inline constexpr int ID_USER_VIEWS = 15305;
inline constexpr int ID_COLOUR_MATERIAL = 15306;
inline constexpr int ID_LINE_STYLE = 15307;
inline constexpr int ID_LAYERS = 15308;
inline constexpr int ID_GRID = 15309;
inline constexpr int ID_DRAWING_AIDS = 15310;
inline constexpr int ID_COORDINATES = 15311;
inline constexpr int ID_OBJECT_SNAP_BAR = 15909;
inline constexpr int ID_RENDER = 15603;
inline constexpr int ID_HIDE = 15605;
inline constexpr int ID_GLIMPSE = 15704;
inline constexpr int ID_SNAP_PROJECTIONS = 15820;
inline constexpr int ID_SNAP_LAST = 15830;
inline constexpr int ID_KEEP_Z = 15840;
inline constexpr int ID_TOOL_FIRST = 15841;  // the input tools (the polyline editor)
inline constexpr int ID_TOOL_LAST = 15849;
inline constexpr int ID_TOOLBAR_COPY_CLIPBOARD = 15102;  // the toolbar's Copy to clipboard
inline constexpr int ID_VIEW_PRESET_FIRST = 6010;
inline constexpr int ID_VIEW_PRESET_LAST = 6015;

// A range of drawing commands looked up in a table of command functions.
struct CmdRange {
    int first, last;
};
inline constexpr CmdRange kDrawingRanges[] = {
    {15000, 15010}, {15100, 15109}, {15200, 15211}, {15300, 15311}, {15400, 15407},
    {15500, 15515}, {15600, 15605}, {15701, 15703}, {15800, 15803}, {15841, 15849},
};
inline bool in_drawing_range(int id) {
    for (const CmdRange& r : kDrawingRanges)
        if (id >= r.first && id <= r.last) return true;
    return false;
}
