// The parameter dialogs of the 3D construction commands: each shows the Draw_3D
// settings its command reads (segment counts, solid kinds, cap and face bits) and the
// "&Query" box (checked: the command opens its dialog before it starts; it stores the
// inverse into g_draw3d_query). The values are edited on copies and written to
// g_draw3d on OK only. draw3d_dialogs_install connects them to the commands'
// Draw3dDialogs hooks.
#pragma once

#include <cstdint>
#include <vector>

#include "dialogs/dlg.h"
#include "resources/string_ids.h"

class VIEW;

// Dialog ids (captions in the string table).
inline constexpr int kDlgBox3D = IDD_BOX3D;
inline constexpr int kDlgSphere = IDD_SPHERE;
inline constexpr int kDlgCone = IDD_CONE;
inline constexpr int kDlgTorus = IDD_TORUS;
inline constexpr int kDlgMesh = IDD_MESH3D;
inline constexpr int kDlgFaces3D = IDD_FACES3D;
inline constexpr int kDlgSpiral = IDD_SPIRAL;
inline constexpr int kDlgPyramid = IDD_PYRAMID;
inline constexpr int kDlgRevolution = IDD_REVOLUTION;
inline constexpr int kDlgExtrude = IDD_EXTRUDE;
inline constexpr int kDlgRuled = IDD_RULED;
inline constexpr int kDlgTracked = IDD_TRACKED;
inline constexpr int kDlgProfiled = IDD_PROFILED;
inline constexpr int kDlgFractal = IDD_FRACTAL;

// Control ids: labels and check boxes take their texts from the string table under
// their ids; the edits and combos sit beside them.
inline constexpr int kIdcQuery3D = IDC_QUERY3D;               // "&Query"
inline constexpr int kIdcFacesM = IDC_FACES_M;                // "Segments &M:" label; edit = id + 100
inline constexpr int kIdcFacesN = IDC_FACES_N;                // "Segments &N:"
inline constexpr int kIdcSolidKind = IDC_SOLID_KIND;          // "&Kind:" label; combo = id + 100
inline constexpr int kIdcSpiralRounds = IDC_SPIRAL_ROUNDS;    // "&Turns:" label; edit = id + 100
inline constexpr int kIdcSpiralDir = IDC_SPIRAL_DIR;          // "&Reverse turning sense" ("SpiraleDir" non-zero)
inline constexpr int kIdcBoxFaceFirst = IDC_BOX_BACK;         // six check boxes: back, front, left, right, bottom, top
inline constexpr int kIdcTopsBase = IDC_TOPS_BASE;            // "&Base cap" (Tops bit 0)
inline constexpr int kIdcTopsTop = IDC_TOPS_TOP;              // "&Top cap" (Tops bit 1)
inline constexpr int kIdcFaceMode = IDC_FACE_MODE;            // "&Continue from:" label; combo = id + 100
inline constexpr int kIdcMergeEdges = IDC_MERGE_EDGES;        // "&Merge edges"
inline constexpr int kIdcUsePattern = IDC_USE_PATTERN;        // "&Use object pattern" ("UsePattern")
inline constexpr int kIdcSmooth = IDC_SMOOTH;                 // "S&mooth" ("Smooth")
inline constexpr int kIdcRevolveAngle = IDC_REVOLVE_ANGLE;    // "&Angle (degrees):" label; edit = id + 100
inline constexpr int kIdcRevolveStart = IDC_REVOLVE_START;    // "&Start angle (degrees):"
inline constexpr int kIdcFractalLevels = IDC_FRACTAL_LEVELS;  // "&Levels:"
inline constexpr int kIdcFractalDeriv = IDC_FRACTAL_DERIV;    // "&Roughness:"
inline constexpr int kIdcFractalMode = IDC_FRACTAL_MODE;      // "Apply to &chosen meshes" ("FractalMode" non-zero)
inline constexpr int kEditOffset3D = 100;

// Highest segment count the dialogs accept: a grid of (n + 1) x (n + 1) points at
// both counts' top stays within the mesh grid limit (kMeshMaxGridVertices, 2^20).
inline constexpr int kMaxSegments3D = 1023;
// Turn range of the spiral dialog; its top times kMaxSegments3D stays within the
// chain segment limit.
inline constexpr double kMinSpiralTurns = 0.01;
inline constexpr double kMaxSpiralTurns = 1000.0;

// Fractal levels the dialog accepts (a surface has 4^(levels - 1) patches per face).
inline constexpr int kMaxFractalLevels = 10;

// One dialog for all the 3D parameter sets: a list of fields over int settings, and
// real ones (kReal, through `real`, shown times `scale` and checked against lo..hi in
// the shown unit). Counts are checked against 1..hi (kMaxSegments3D when hi is 0).
class CParam3dDlg : public CDlg {
  public:
    struct Field {
        enum Kind { kCount, kBit, kChoice, kReal, kFlag } kind;  // kFlag: checked when non-zero, stores 1 or 0
        int id;                        // label or check box id
        int* setting;                  // in g_draw3d (null for kReal)
        int bit = 0;                   // kBit
        std::vector<uint32_t> choices; // kChoice: string ids of the entries
        double* real = nullptr;        // kReal: in g_draw3d
        double lo = 0, hi = 0;         // kReal, kCount: range as shown
        double scale = 1;              // kReal: shown value = setting x scale
        int other = 0;                 // kChoice: entry shown for a value outside the list,
                                       // the one the command takes such a value for
    };
    CParam3dDlg(int template_id, QWidget* parent, std::vector<Field> fields);

  protected:
    void CreateControls() override;
    void DoDataExchange(CDataExchange* dx) override;

  private:
    std::vector<Field> fields_;
    std::vector<double> counts_;  // per field (kCount, kReal)
    std::vector<int> values_;     // per field: the edited copy of the setting or bit
    int query_;
};

bool box3d_dialog(VIEW* view);
bool sphere_dialog(VIEW* view);
bool cone_dialog(VIEW* view);
bool segments_dialog_torus(VIEW* view);
bool segments_dialog_mesh(VIEW* view);
bool faces3d_dialog(VIEW* view);
bool spiral_dialog(VIEW* view);
bool pyramid_dialog(VIEW* view);
bool revolution_dialog(VIEW* view);
bool segments_dialog_extrude(VIEW* view);
bool segments_dialog_ruled(VIEW* view);
bool segments_dialog_tracked(VIEW* view);
bool segments_dialog_profiled(VIEW* view);
bool fractal_dialog(VIEW* view);

void draw3d_dialogs_install();
