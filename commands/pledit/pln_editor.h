// The polyline editor tool (commands 15841 to 15849): an input tool that stays
// active between clicks and changes picked polylines in place: move, add and delete
// vertices, smooth and decurve, weld polylines and arcs into one, cut with the
// scissors, chamfer and fillet corners. Every edit is one undo level; a half-made
// edit that is cancelled is rolled back. Command 15840 toggles keep-Z.
// User-interface thread only.
#pragma once

#include <cstdint>

#include "commands/input/cmdinput.h"
#include "model/math/types.h"

class XPLINE;
class CONTAINER;
class object;
class LINEPATT;
struct PointNode;

inline constexpr uint32_t kCmdKeepZ = 15840;
inline constexpr uint32_t kCmdMoveVertex = 15841;
inline constexpr uint32_t kCmdAddVertex = 15842;
inline constexpr uint32_t kCmdDeleteVertex = 15843;
inline constexpr uint32_t kCmdSmooth = 15844;
inline constexpr uint32_t kCmdDecurve = 15845;
inline constexpr uint32_t kCmdWeld = 15846;
inline constexpr uint32_t kCmdScissors = 15847;
inline constexpr uint32_t kCmdChamfer = 15848;
inline constexpr uint32_t kCmdFillet = 15849;

// The corner sizes in VIEW::values3 (drawing units).
inline constexpr int kPlnFilletRadius = 0;
inline constexpr int kPlnFirstTrim = 1;
inline constexpr int kPlnSecondTrim = 2;

class CPlnEditor;
// The corner dialog's frame, made by the window side for the chamfer and fillet
// tools (null: none); the tool owns it as its tool window.
struct PlnCornerFrame : CmdToolWindow {
    virtual void show(bool visible) = 0;
    virtual void update_controls() = 0;
};
using PlnFrameFactory = PlnCornerFrame* (*)(CPlnEditor* tool);
void pln_set_frame_factory(PlnFrameFactory factory);

class CPlnEditor : public CCmdInput {
  public:
    explicit CPlnEditor(uint32_t command_id);
    ~CPlnEditor() override;

    void DrawMark(VIEW* view, int x, int y) override;
    int OnKey(int key, int repeat, int flags) override;
    void OnUpdateViews(int code, int flags, int x, int y, const float point[3]) override;
    int OnNotify(InputNotice* notice) override;

    bool chamfer() const { return command_id == kCmdChamfer; }
    int32_t separate = 0;  // the corner dialog's "Separate": the corner as an object of its own

    // State, readable by tests.
    XPLINE* working = nullptr;  // the clone being edited (in the drawing)
    XPLINE* second = nullptr;   // scissors: the second part; corners: the second line's clone
    int weld_count = 0;
    BBox redraw = kEmptyBBox;

  private:
    void click(const Vec3& p);
    void move_to(const Vec3& p);
    [[nodiscard]] int first_step(const Vec3& p);
    [[nodiscard]] int second_step(const Vec3& p);
    [[nodiscard]] int weld_step(const Vec3& p);
    [[nodiscard]] int corner_at(PointNode* before, XPLINE* other);
    [[nodiscard]] int two_line_corner(const Vec3& p);
    [[nodiscard]] int begin_edit(XPLINE* picked);
    void finish();
    void roll_back();
    void close();
    object* pick(const Vec3& p, bool arcs, const object* exclude) const;

    char buffer_[64] = {};
    bool two_vertex_ = false;
    PointNode* before_ = nullptr;  // the node before the moving vertex
    PointNode* moving_ = nullptr;  // the vertex being placed
    PointNode* after_ = nullptr;
    bool waiting_line_ = false;  // a corner at an end waits for the second line
    // Attributes of the first welded object.
    LINEPATT* weld_style_ = nullptr;
    int32_t weld_colour_ = 0;
    float weld_width_ = 0;
    double weld_scale_ = 1, weld_step_ = 5;
};

// The drawing view's handler: 15840 toggles keep-Z; 15841..15849 make a tool (null
// when memory runs out). 
CCmdInput* pln_make_tool(uint32_t id);
