// Button tables of the main window's toolbars.
#include "shell/core/toolbar_tables.h"

#include <set>

namespace {

// The shared strip: each customisable bar below takes a contiguous range.
constexpr ToolButtonDef kSharedStrip[] = {
    // Standard (0-11)
    {57600, "New"}, {57601, "Open"}, {57603, "Save"}, {57607, "Print"},
    {32782, "Copy"}, {32783, "Paste"}, {32784, "Undo"}, {32785, "Redo"},
    {15701, "Select"}, {15702, "Deselect"}, {15703, "Delete"}, {15909, "Object snap"},
    // Drawing (12-22)
    {15000, "Line"}, {15001, "Circle"}, {15002, "Arc"}, {15003, "Polyline"},
    {15004, "Rectangle"}, {15005, "Text"}, {15006, "Hatch"}, {15007, "Hatch hole"},
    {15008, "Polygon"}, {15009, "Ellipse"}, {15010, "Fill"},
    // Properties (23-30)
    {15400, "Change colour"}, {15401, "Change line style"}, {15402, "Change layer"},
    {15403, "Adjust camera"}, {15404, "Adjust light"}, {15405, "Change hatch"},
    {15406, "Change text"}, {15407, "Change label"},
    // Transformations (31-38)
    {15100, "Move"}, {15101, "Copy objects"}, {15102, "Copy to clipboard"}, {15103, "Mirror"},
    {15104, "Rotate"}, {15105, "Stretch"}, {15106, "Group"}, {15107, "Split group"},
    // Viewport (39-49)
    {15301, "Zoom window"}, {15302, "Zoom all"}, {15303, "Zoom custom"}, {15304, "Viewpoint"},
    {15305, "User defined views"}, {15306, "Colour and material"}, {15307, "Line style"},
    {15308, "Layers"}, {15309, "Grid"}, {15310, "Drawing aids"}, {15311, "Coordinates"},
    // 3D Modelling (50-65)
    {15500, "Box"}, {15501, "Pyramid"}, {15502, "Mesh"}, {15503, "Sphere"},
    {15504, "Cone"}, {15505, "Torus"}, {15506, "Revolve"}, {15507, "Extrude"},
    {15508, "Ruled surface"}, {15509, "Spiral"}, {15510, "3D faces"}, {15511, "Tracked surface"},
    {15512, "Fractal surface"}, {15513, "Profiled surface"}, {15514, "Flat polygon"},
    {15515, "3D text"},
    // Studio (66-71)
    {15600, "New camera"}, {15601, "Spot light"}, {15602, "Omni light"}, {15603, "Render"},
    {15605, "Hide"}, {15704, "Glimpse"},
    // 3D Construction (72-75)
    {15800, "Subtract"}, {15801, "Intersect"}, {15802, "Union"}, {15803, "Join meshes"},
};
static_assert(std::size(kSharedStrip) == 76);

constexpr ToolButtonDef kDimensionStrip[] = {
    {15200, "Horizontal distance"}, {15201, "Vertical distance"}, {15202, "Align distance"},
    {15203, "Arrow at start point"}, {15204, "Arrow at endpoint"}, {15205, "Double arrow"},
    {15206, "Diameter"}, {15207, "Radius I"}, {15208, "Radius II"},
    {15209, "Angular by vertex"}, {15210, "Angular between vectors"},
    {15211, "Dimensions settings"},
};

constexpr ToolButtonDef kSnapStrip[] = {
    {15820, "Snap to projections"}, {15821, "Node"}, {15822, "Gravity centre"},
    {15823, "Intersection"}, {15824, "Surface vertex"}, {15825, "End of line"},
    {15826, "Midpoint"}, {15827, "End of arc"}, {15828, "Centre of arc"},
    {15829, "Circle centre"}, {15830, "Quadrants"},
};

constexpr ToolButtonDef kPolylineStrip[] = {
    {15840, "Keep current Z"}, {15841, "Move vertex"}, {15842, "Add vertex"},
    {15843, "Delete vertex"}, {15844, "Smooth curve"}, {15845, "Decurve"}, {15846, "Weld"},
    {15847, "Scissors"}, {15848, "Chamfer"}, {15849, "Fillet"},
};

constexpr ToolButtonDef kEditBar[] = {{15306, "Colour and material"}, {15308, "Layers"}};

constexpr ToolButtonDef kPreviewBar[] = {
    {32803, "Properties"}, {32787, "New camera"}, {32788, "Update camera"}, {32802, "View point"},
    {32804, "Play"}, {32805, "Pause"}, {32806, "Stop"}, {32807, "Previous"}, {32808, "Next"},
};

constexpr int kStandardSeps[] = {3, 4, 6, 8, 11};
constexpr int kDrawingSeps[] = {6, 8};
constexpr int kPropertiesSeps[] = {3, 5};
constexpr int kTransformSeps[] = {6};
constexpr int kViewportSeps[] = {5, 8};
constexpr int kModellingSeps[] = {6, 10};
constexpr int kStudioSeps[] = {3, 5};
constexpr int kDimensionSeps[] = {3, 6, 9, 11};
constexpr int kSnapSeps[] = {1};
constexpr int kPolylineSeps[] = {1, 8};

const ToolbarDef kBars[] = {
    {59392, 142, DockSide::kTop, kSharedStrip, 0, 12, kStandardSeps},
    {15906, 137, DockSide::kLeft, kSharedStrip, 12, 11, kDrawingSeps},
    {15903, 138, DockSide::kRight, kSharedStrip, 23, 8, kPropertiesSeps},
    {15907, 139, DockSide::kTop, kSharedStrip, 31, 8, kTransformSeps},
    {15904, 140, DockSide::kRight, kSharedStrip, 39, 11, kViewportSeps},
    {15908, 134, DockSide::kBottom, kSharedStrip, 50, 16, kModellingSeps},
    {15905, 136, DockSide::kLeft, kDimensionStrip, 0, 12, kDimensionSeps},
    {15902, 141, DockSide::kRight, kSharedStrip, 66, 6, kStudioSeps},
    {15900, 135, DockSide::kBottom, kSharedStrip, 72, 4, {}},
    {15909, 146, DockSide::kLeft, kSnapStrip, 0, 11, kSnapSeps},
    {15910, 147, DockSide::kLeft, kPolylineStrip, 0, 10, kPolylineSeps},
};

}  // namespace

std::span<const ToolbarDef> toolbar_table() { return kBars; }

const ToolbarDef* toolbar_find(int bar_id) {
    for (const ToolbarDef& b : kBars)
        if (b.bar_id == bar_id) return &b;
    return nullptr;
}

std::span<const ToolButtonDef> toolbar_buttons(const ToolbarDef& bar) {
    return bar.strip.subspan(size_t(bar.first), size_t(bar.count));
}

std::vector<int> toolbar_default_layout(const ToolbarDef& bar) {
    std::vector<int> ids;
    size_t next_sep = 0;
    int added = 0;
    for (const ToolButtonDef& b : toolbar_buttons(bar)) {
        // A separator stands before the button whenever the buttons added so far
        // reach the next separator position.
        while (next_sep < bar.separators.size() && bar.separators[next_sep] == added) {
            ids.push_back(0);
            ++next_sep;
        }
        ids.push_back(b.command_id);
        ++added;
    }
    return ids;
}

const ToolButtonDef* toolbar_button_find(int command_id) {
    for (std::span<const ToolButtonDef> strip :
         {std::span<const ToolButtonDef>(kSharedStrip), std::span<const ToolButtonDef>(kDimensionStrip),
          std::span<const ToolButtonDef>(kSnapStrip), std::span<const ToolButtonDef>(kPolylineStrip),
          std::span<const ToolButtonDef>(kEditBar), std::span<const ToolButtonDef>(kPreviewBar)})
        for (const ToolButtonDef& b : strip)
            if (b.command_id == command_id) return &b;
    return nullptr;
}

std::vector<int> toolbar_icon_ids() {
    std::set<int> seen;
    std::vector<int> ids;
    for (std::span<const ToolButtonDef> strip :
         {std::span<const ToolButtonDef>(kSharedStrip), std::span<const ToolButtonDef>(kDimensionStrip),
          std::span<const ToolButtonDef>(kSnapStrip), std::span<const ToolButtonDef>(kPolylineStrip),
          std::span<const ToolButtonDef>(kEditBar), std::span<const ToolButtonDef>(kPreviewBar)})
        for (const ToolButtonDef& b : strip)
            if (seen.insert(b.command_id).second) ids.push_back(b.command_id);
    return ids;
}

std::span<const ToolButtonDef> edit_bar_buttons() { return kEditBar; }
std::span<const ToolButtonDef> preview_bar_buttons() { return kPreviewBar; }
