// Line work: polylines and splines, arcs/circles/ellipses, hatches and fills, and
// 2D text. All share the WIRE level: a line style, the object's own point list and
// the display strokes that regeneration derives from the defining fields.
#pragma once

#include <cstdint>
#include <string>

#include "model/db/zobj.h"

class LINEPATT;
class HATCHPATT;
class FONTPATT;

class WIRE : public object {
  public:
    static RtcClass rtc_class;
    WIRE() { set_klass(&rtc_class); }
    ~WIRE() override;

    int replace_ref(RTC* old_ref, RTC* new_ref) override;
    int report(ZITER* it) override;

    int copy_level(const WIRE& src);
    void move_level(WIRE& src);

    double curve_step = 5.0;         // resolution read by regeneration
    LINEPATT* line_style = nullptr;  // not owned
    PtrNode* strokes = nullptr;      // owned display strokes (list of point lists); may be null
    double second = 1.0;
    PointNode* points = nullptr;  // owned, the object's own vertices
};

// XPLINE::kind.
inline constexpr int32_t kXplinePolyline = 0;
inline constexpr int32_t kXplineSpline = 1;
inline constexpr int32_t kXplineFilled = 2;  // a filled polygon

// Polyline, spline or filled polygon (kind).
class XPLINE : public WIRE {
  public:
    static RtcClass rtc_class;
    XPLINE() { set_klass(&rtc_class); }
    ~XPLINE() override;

    int report(ZITER* it) override;
    // The box of the points report() gives, gathered without an iterator (the box
    // object::own_box gives, bit for bit).
    void own_box() override;
    int copy_level(const XPLINE& src);

    int32_t kind = 0;
    PointNode* control = nullptr;  // owned control points
};

// ELARC flag bits.
inline constexpr int32_t kElarcCircular = 1;      // circular arc
inline constexpr int32_t kElarcWholeEllipse = 2;  // whole ellipse

// Arc, circle or ellipse: centre, first and second axis points, start and end
// angles (radians, from the direction of the first axis point).
class ELARC : public WIRE {
  public:
    static RtcClass rtc_class;
    ELARC();
    // As XPLINE::own_box, for the points WIRE::report gives.
    void own_box() override;
    int copy_level(const ELARC& src);

    int32_t flags = 0;
    Vec3 centre = {0, 0, 0};
    Vec3 axis1 = {0, 0, 0};
    Vec3 axis2 = {0, 0, 0};
    double start = 0.0;
    double end = 0.0;
};

// Hatch or solid fill bounded by contour lists.
class HATCH : public WIRE {
  public:
    static RtcClass rtc_class;
    HATCH() { set_klass(&rtc_class); }
    ~HATCH() override;

    int replace_ref(RTC* old_ref, RTC* new_ref) override;
    int report(ZITER* it) override;
    int copy_level(const HATCH& src);

    HATCHPATT* pattern = nullptr;  // not owned; null for a solid fill
    // Set by the fill when the pattern has no family that can be drawn (zero or
    // parallel offsets, scale 0, far too dense): the walk then shows the solid fill,
    // so the hatch never vanishes. Derived data, not saved.
    bool pattern_degenerate = false;
    PtrNode* contours[4] = {nullptr, nullptr, nullptr, nullptr};  // owned lists of point lists
    double values[2] = {0, 0};
};

// 2D text in a stroke font.
class TEXT2 : public WIRE {
  public:
    static RtcClass rtc_class;
    TEXT2() { set_klass(&rtc_class); }

    int replace_ref(RTC* old_ref, RTC* new_ref) override;
    int copy_level(const TEXT2& src);

    FONTPATT* font = nullptr;  // not owned
    std::string text;
    Vec3 insert = {0, 0, 0};
    float pairs[6] = {0, 0, 0, 0, 0, 0};
    double layout[6] = {0, 0, 0, 0, 0, 0};
    int32_t word = 0;
};
