// String-table ids of the boolean commands and engine (resources/strings.txt).
#pragma once

#include <cstdint>

#include "resources/string_ids.h"

inline constexpr uint32_t kStrCsgPickUnionFirst = IDS_CSG_PICK_UNION_FIRST;
inline constexpr uint32_t kStrCsgPickUnionSecond = IDS_CSG_PICK_UNION_SECOND;
inline constexpr uint32_t kStrCsgPickIntersectionFirst = IDS_CSG_PICK_INTERSECTION_FIRST;
inline constexpr uint32_t kStrCsgPickIntersectionSecond = IDS_CSG_PICK_INTERSECTION_SECOND;
inline constexpr uint32_t kStrCsgPickSubtractFrom = IDS_CSG_PICK_SUBTRACT_FROM;
inline constexpr uint32_t kStrCsgPickSubtracted = IDS_CSG_PICK_SUBTRACTED;
inline constexpr uint32_t kStrCsgDanglingFaces = IDS_CSG_DANGLING_FACES;  // Yes/No question
inline constexpr uint32_t kStrCsgNoUsableFace = IDS_CSG_NO_USABLE_FACE;
