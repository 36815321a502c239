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

class VIEW;

// Dialog ids (captions in the string table).
inline constexpr int kDlgBox3D = 44520;
inline constexpr int kDlgSphere = 44521;
inline constexpr int kDlgCone = 44522;
inline constexpr int kDlgTorus = 44523;
inline constexpr int kDlgMesh = 44524;
inline constexpr int kDlgFaces3D = 44525;
inline constexpr int kDlgSpiral = 44526;
inline constexpr int kDlgPyramid = 44586;
inline constexpr int kDlgRevolution = 44587;
inline constexpr int kDlgExtrude = 44588;
inline constexpr int kDlgRuled = 44589;
inline constexpr int kDlgTracked = 44590;
inline constexpr int kDlgProfiled = 44591;
inline constexpr int kDlgFractal = 44592;

// Control ids: labels and check boxes take their texts from the string table under
// their ids; the edits and combos sit beside them.
inline constexpr int kIdcQuery3D = 44530;        // "&Query"
inline constexpr int kIdcFacesM = 44531;         // "Segments &M:" label; edit = id + 100
inline constexpr int kIdcFacesN = 44532;         // "Segments &N:"
inline constexpr int kIdcSolidKind = 44533;      // "&Kind:" label; combo = id + 100
inline constexpr int kIdcSpiralRounds = 44534;   // "&Turns:" label; edit = id + 100
inline constexpr int kIdcSpiralDir = 44535;      // "&Reverse turning sense" ("SpiraleDir" bit 0)
inline constexpr int kIdcBoxFaceFirst = 44540;   // six check boxes: back, front, left, right, bottom, top
inline constexpr int kIdcTopsBase = 44546;       // "&Base cap" (Tops bit 0)
inline constexpr int kIdcTopsTop = 44547;        // "&Top cap" (Tops bit 1)
inline constexpr int kIdcFaceMode = 44548;       // "&Continue from:" label; combo = id + 100
inline constexpr int kIdcMergeEdges = 44549;     // "&Merge edges"
inline constexpr int kIdcUsePattern = 44593;     // "&Use object pattern" ("UsePattern")
inline constexpr int kIdcSmooth = 44594;         // "S&mooth" ("Smooth")
inline constexpr int kIdcRevolveAngle = 44595;   // "&Angle (degrees):" label; edit = id + 100
inline constexpr int kIdcRevolveStart = 44596;   // "&Start angle (degrees):"
inline constexpr int kIdcFractalLevels = 44597;  // "&Levels:"
inline constexpr int kIdcFractalDeriv = 44598;   // "&Roughness:"
inline constexpr int kIdcFractalMode = 44599;    // "Apply to &chosen meshes" ("FractalMode" non-zero)
inline constexpr int kEditOffset3D = 100;

// Highest segment count the dialogs accept.
inline constexpr int kMaxSegments3D = 1024;
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
