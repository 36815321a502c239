// VIEW: the object behind every drawing window. It holds the window's projection,
// the placement of its frame, the previous zoom, the selection, the current colour,
// material, layer and styles, the construction settings of the commands and the
// per-layer visibility flags, and it is saved with the drawing (view_io.cpp).
//
// VIEW has no window-system code: what it asks of its window (sizes, the frame's
// placement, invalidating, drawing an object in a colour) goes through the small
// ViewWindow interface, which the drawing view of the shell implements. A VIEW
// without a window draws and invalidates nothing.
//
// Ownership: the VIEW owns its selection buffer and its two materials; the window,
// the current layer and styles are plain references. The drawing view owns its VIEW.
// User-interface thread only.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "graphics/view/pick.h"
#include "graphics/view/projection.h"
#include "model/db/zobj.h"
#include "model/material/material.h"

class buffer;
class IOstream;
class FONTPATT;
class HATCHPATT;
class LAYER;
class LINEPATT;
class MODEL;
class object;

// A rectangle in window coordinates (rows growing downward), right and bottom
// exclusive.
struct WindowRect {
    int left = 0, top = 0, right = 0, bottom = 0;
};

// The frame window's placement as the window side reports and accepts it.
struct FramePlacement {
    enum State { kNormal = 0, kMinimised = 1, kMaximised = 2 };
    State state = kNormal;
    int min_x = 0, min_y = 0;  // position when minimised
    WindowRect normal;         // frame rectangle when shown normally, in its parent
};

// What a VIEW needs of the window that shows it.
class ViewWindow {
  public:
    virtual ~ViewWindow() = default;
    // Size of the drawing area in pixels.
    virtual void client_size(int* width, int* height) const = 0;
    // Size of the client area of the frame's parent (the area the frame lives in).
    virtual void parent_client_size(int* width, int* height) const = 0;
    // The frame's placement; false when it cannot be read.
    virtual bool get_placement(FramePlacement* out) const = 0;
    virtual void set_placement(const FramePlacement& placement) = 0;
    // Grows a client rectangle by the frame's borders (the framework's window-rectangle
    // calculation). The default adds nothing.
    virtual void adjust_frame_rect(WindowRect*) const {}
    // Invalidates a rectangle (null: the whole client area), erasing the background
    // when asked.
    virtual void invalidate(const WindowRect* rect, bool erase) = 0;
    // Repaints what is invalid now.
    virtual void update_now() = 0;
    // Brings the scroll bars up to date with the projection's origin and scale.
    virtual void update_scroll_bars() {}
    // Draws an object through the view's projection in a display colour index (-1:
    // each part in its own colour).
    virtual void draw_object(object* obj, int colour) = 0;
};

// Window placement as saved: ten words (file sub-chunk 7).
struct ViewPlacement {
    int32_t show_state = 0;  // 1 minimised, 2 maximised, 3 normal, 0 nothing saved
    int32_t parent_width = 0, parent_height = 0;
    int32_t min_x = 0, min_y = 0;
    int32_t left = 0, top = 0, width = 0, height = 0;
    int32_t saved = 0;
};

// A rectangular area of the drawing with its flag.
struct ViewArea {
    double x_min, x_max, y_min, y_max;
    int32_t flag;
};

// The layer-state record: per-layer visibility flags and a set of current styles.
struct ViewLayerState {
    int32_t mode = 0;
    double value = 5.0;
    int32_t word = 0;
    double values[2] = {0, 0};
    LAYER* layer = nullptr;  // references, saved by name
    LINEPATT* line_style = nullptr;
    HATCHPATT* hatch = nullptr;
    FONTPATT* font = nullptr;
    std::vector<int32_t> flags;  // one per layer in walk order; a missing entry is visible
    // The flags of layers out of the drawing that undo or redo may bring back (not saved).
    std::vector<std::pair<const LAYER*, int32_t>> parked;
};

// Most layer flags a file may hold: one per layer, and more layers than this make no
// sense in one drawing.
inline constexpr int32_t kViewMaxLayerFlags = 1 << 20;
// Length of the name field, terminator included.
inline constexpr int kViewNameSize = 32;
// VIEW::length_unit: how lengths are typed and shown.
inline constexpr int32_t kLengthDecimal = 0;    // drawing units (millimetres) with decimals
inline constexpr int32_t kLengthInches = 1;     // feet and decimal inches
inline constexpr int32_t kLengthFractions = 2;  // feet and inches with fractions

class VIEW : public ZSVIEW {
  public:
    static RtcClass rtc_class;
    VIEW();
    ~VIEW() override;

    // The view slot (model_notify_views): view_invalidate.
    int view_slot(const BBox* box, int flags) override;
    // The current layer and styles, and those of the layer-state record.
    int replace_ref(RTC* old_ref, RTC* new_ref) override;
    bool has_view_slot() const override { return true; }

    static int init_level(RTC* obj);

    int32_t display_mode = 0;  // 1: the window shows an image, not the wire frame
    ViewProjection projection;
    ViewPlacement placement;
    double previous_scale = 1.0;  // before the last zoom
    double previous_origin_x = 0.0, previous_origin_y = 0.0;
    buffer* selection = nullptr;   // owned; made by init
    ViewWindow* window = nullptr;  // set by the shell; not owned
    int32_t material_colour = 0;   // colour index of the current material
    MaterialRecord material;
    int32_t setting_a = 0;
    int32_t colours[16];
    int32_t flags = 0x82C;
    int32_t setting_b = 30;
    char name[kViewNameSize] = "<Viewport>";
    int32_t words5[5] = {3, 0, 0, 0, 0};
    int32_t words4[4] = {0, 0, 0, 0};
    double setting_c = 0.0;  // stored as a 4-byte float
    // Not saved: the extents of the drawing in view coordinates (minimum x, y, z, then
    // maximum), which the scroll bars span and zoom-all fits.
    float scroll_area[6];
    int32_t setting_d = 0;
    // Grid steps: two pairs (x, y) in drawing units; step_select picks the first pair.
    double grid_steps[4] = {10.0, 10.0, 0.1, 0.1};
    int32_t readout_mode = 0;
    double cursor[3] = {150.0, 100.0, 0.0};       // not saved: drawing coordinates
    double cursor_view[3] = {150.0, 100.0, 0.0};  // not saved
    double elevation = 0.0;                       // z given to points picked with the mouse
    int32_t cursor_pixel[2] = {150, 100};         // not saved
    int32_t setting_e = 0;
    double cursor_angle = 0.0;
    int32_t cross_arm[2] = {0, 2048};  // sine and cosine x 2048; 0: full-window cross-hair
    int32_t input_flags = 1;
    double zoom_limit = 1000.0;
    int32_t keep_depth = 1;   // a snapped point keeps its own depth (else moved onto the input plane)
    int32_t grid_on = 0;      // grid steps round free points
    int32_t step_select = 0;  // non-zero: the first pair of grid_steps, else the second
    Vec3 user_origin = {0, 0, 0};
    Vec3 last_point = {0, 0, 0};
    double setting_f = 0.0;
    double drawing_scales[2] = {1.0, 1.0};
    int32_t coordinate_type = 0;  // 0 world, 1 user origin, 2 second reference
    int32_t cartesian = 1;
    int32_t length_unit = 0;  // kLength*
    int32_t degrees = 1;      // angles in degrees and minutes, else radians
    int32_t input_mode = 0;   // kInputIdle or kInputActive (view_host.h), not saved
    int32_t current_colour = 7;
    LAYER* current_layer = nullptr;  // references, saved by name
    LINEPATT* current_line_style = nullptr;
    HATCHPATT* current_hatch = nullptr;
    FONTPATT* current_font = nullptr;
    double line_width = 0.5;        // current line width given to new objects, drawing units
    double line_style_scale = 1.0;  // current line-style scale (in its own sub-chunk)
    double hatch_angle = 0.0;  // radians, current hatch angle
    double hatch_scale = 1.0;  // current hatch pattern scale
    double accuracy_linear = 5.0;
    double accuracy_angular;  // pi / 12
    MaterialRecord second_material;
    // Construction settings of the drawing commands (out-of-range values from files are
    // held to their range by the commands, never trusted). The methods are those of
    // commands/draw2d/internal.h.
    int32_t line_method = 0;     // LineMethod
    int32_t box_method = 0;      // BoxMethod
    int32_t circle_method = 0;   // CircleMethod
    int32_t arc_method = 0;      // ArcMethod
    int32_t ellipse_method = 0;  // EllipseMethod
    int32_t orthogonal = 0;      // rubber lines and new segments held horizontal or vertical
    int32_t corner_height = 0;   // rectangle corners take their depths crosswise
    int32_t command_word = 0;
    int32_t polygon_count = 6;  // segments of a regular polygon, 3..100
    double values3[3] = {5.0, 4.0, 4.0};
    int32_t direction = 0;
    int32_t setting_i = 1;
    // Current 2D text style: height and width in drawing units, oblique angle of the
    // characters and slope of the line (radians).
    double text_height = 10.0;
    double text_width = 10.0;
    double text_oblique = 0.0;
    double text_slope = 0.0;
    double text_values[2] = {0, 0};
    int32_t setting_j = 0;
    double dimension_values[7];                 // 5, 3, 10 degrees, 1, 0.4 (line width), 4.5, 2.5
    int32_t dimension_words[4] = {1, 7, 1, 1};  // first: colour of dimension lines
    ViewArea drawing_area = {-32000.0, 32000.0, -32000.0, 32000.0, 1};
    ViewArea second_area = {100.0, 2000.0, 100.0, 2000.0, 0};
    ViewLayerState layer_state;
    // Working fields of the shell and the commands, not saved.
    Transform phantom = {kMatIdentity, kMatIdentity};  // phantom placement (drawing -> pixels)
    Transform second_transform = {kMatIdentity, kMatIdentity};
    // Drawing state of the view services: draw mode (3 copy, 6 XOR, 7 merge), pen
    // word and colour word (red in the low byte).
    int32_t draw_mode = 3;
    int32_t draw_pen = 15;
    uint32_t draw_colour = 0;
    // The cursor mark (crosshair or tool mark) is drawn in the window.
    int32_t cursor_shown = 0;
    int32_t command_view = 0;  // this view runs the command
    int32_t nested_busy = 0;   // a dialog's nested pick runs in this view
    // The remembered snap: object (0 none), polyline segment (vertex node) and kind.
    object* snap_object = nullptr;
    void* snap_segment = nullptr;
    int32_t snap_kind = 0;
    // Phantom drawing: segments drawn by the last pass, the batch of segments waiting
    // to be drawn, and the table of segments drawn in the current pass.
    int32_t phantom_count = 0;
    int32_t phantom_batch_count = 0;
    int32_t phantom_batch[16 * 4] = {};
    int32_t phantom_table_count = 0;
    int32_t phantom_table[1024 * 4] = {};
    // Text kept by the options key during in-place entry.
    std::string saved_text;
    // The selection criteria of Select and Deselect: location mode (low four bits) and
    // attribute filters, with the last corners in view coordinates.
    PickWindow criteria = {.flags = kPickWindow};
};

// The default drawing area copied into every new VIEW's scroll area: minimum x, y, z,
// maximum x, y, z in drawing units. Set by the shell from its settings.
extern float g_view_default_area[6];

// Sets the VIEW class up and installs its save and load methods; call once at
// start-up after the drawing classes (rtc_register_all).
void view_type_register();

// The VIEW's level of its record in the drawing file (view_io.cpp). Failures are
// raised through the stream (13 for nonsense: a scale or transform that is not
// finite and invertible, an elevation that is not finite, a layer-flag count beyond
// the chunk or above kViewMaxLayerFlags, a placement that is no window). Styles and
// selected objects are looked up in the stream's target model; what is not found is
// left empty.
[[nodiscard]] int view_write(IOstream* s, VIEW* view);
[[nodiscard]] int view_read(IOstream* s, VIEW* view);

// The drawing the view shows; null when it is attached to none.
MODEL* view_drawing(const VIEW* view);

// The selection buffer a running command works on (input_object holds it,
// input_finish lets it go). A VIEW destroyed while a command runs leaves that buffer
// to the command instead of freeing it: it is then orphaned, and the command's
// input_finish frees it.
void view_hold_selection(buffer* selection);
void view_release_selection(const buffer* selection);
bool view_selection_held(const buffer* selection);
bool view_selection_orphaned(const buffer* selection);

// Invalidates the window's area showing `box` (drawing coordinates), or the whole
// window for a null box or in display mode 1. Flag bit 0 erases the background, bit 1
// repaints at once. 0.
int view_invalidate(VIEW* view, const BBox* box, int flags);
// restore 0: captures the frame's placement into view->placement; 1: applies the
// stored placement scaled to the current size of the frame's parent and re-centres
// the drawing by the same factor. 0; 1 when there is no window or nothing to apply.
int view_placement(VIEW* view, int restore);
// Keeps the drawing centred when the window grows by `factor`.
void view_recentre(VIEW* view, double factor);

// The visibility flag of the layer at `index` (walk order): a missing entry (no flags
// yet, or fewer flags than layers) means visible (1).
int view_layer_flag(const VIEW* view, int index);
// Appends a layer flag. 0, or 8 when out of memory.
[[nodiscard]] int view_push_layer_flag(VIEW* view, int32_t flag);
// Keeps the flag of a layer that leaves the drawing aside in the view, for the undo
// that brings the layer back (dropped when the layer itself goes).
void view_park_layer_flag(VIEW* view, const LAYER* layer, int32_t flag);
// The drawing's layers in walk order.
std::vector<LAYER*> model_layer_order(const MODEL* model);
// After layers left the drawing or came back (undo, redo): every view's flags follow
// its layers, `before` being the layers before the change. A layer that left has its
// flag kept aside; one that came back gets its own flag again (visible without one).
void views_follow_layers(MODEL* model, const std::vector<LAYER*>& before);

// Draws an object into the view's window: nothing without a window; in display mode 1
// a mesh only has its box invalidated. A negative colour draws the object in its own
// colour (colour_index_fix; a group each part in its own), any other index as it is.
void view_gdi_object(VIEW* view, object* obj, int colour);
