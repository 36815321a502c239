// String-table ids of the boolean commands and engine (resources/strings.txt).
#pragma once

#include <cstdint>

inline constexpr uint32_t kStrCsgPickUnionFirst = 43800;
inline constexpr uint32_t kStrCsgPickUnionSecond = 43801;
inline constexpr uint32_t kStrCsgPickIntersectionFirst = 43802;
inline constexpr uint32_t kStrCsgPickIntersectionSecond = 43803;
inline constexpr uint32_t kStrCsgPickSubtractFrom = 43804;
inline constexpr uint32_t kStrCsgPickSubtracted = 43805;
inline constexpr uint32_t kStrCsgDanglingFaces = 43806;  // Yes/No question
inline constexpr uint32_t kStrCsgNoUsableFace = 43807;
