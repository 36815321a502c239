// New cameras and lights as plain functions: what the New Camera, Spot Light and
// Omni Light commands place, before naming and the settings dialog. Points are
// drawing coordinates. The caller owns the object; null when out of memory.
#pragma once

#include <memory>

#include "model/db/solid.h"
#include "model/math/types.h"

// Lens values of a new camera, as floats in its first two words, and its zoom
// factor (the lens): 50 / (400 tan 6 degrees).
inline constexpr float kCameraFar = 500.0f;
inline constexpr float kCameraNear = 0.25f;
inline constexpr double kCameraZoom = 1.189295556777823;
// Cone cosines of a new spot light: 15 degrees (hot spot) and 20 degrees (fall-off).
inline constexpr float kSpotHot = 0.9659258262890683f;
inline constexpr float kSpotFall = 0.9396926207859084f;
inline constexpr int kNewLightColour = 30;

// A camera at `position` looking at `target`, up from world +Z, with colour index
// `colour`.
std::unique_ptr<CAMERA> new_camera(const Vec3& position, const Vec3& target, int colour);
// A spot light (with a target) or an omni light (target null) at `position`, of
// colour index 30 and shining in that index's palette colour.
std::unique_ptr<LIGHT> new_light(const Vec3& position, const Vec3* target);
