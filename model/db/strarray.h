// A growable array of heap texts, used by the settings and dialog code.
//
// The array is one heap block: a header (a marker 0x12345671, the capacity, the
// count) followed by one slot per string. Callers hold a pointer to the first slot
// (a StrArray; null is the empty array) and read the strings as array[i].
//
// Sizes follow the block's word layout: the header counts as 3 words and each slot
// as one, so a block of w words has capacity w - 3. The slots below the count hold
// the strings; a slot that was never written holds the shared empty text
// (strarray_empty()); the slot at the count is null. The array owns every string
// except the shared empty one; strings are new[] arrays.
#pragma once

#include <cstdint>

using StrArray = char**;

inline constexpr uint32_t kStrArrayMarker = 0x12345671;
inline constexpr int kStrArrayMaxIndex = 16127;  // highest index strarray_printf accepts
inline constexpr int kStrArrayMaxWords = 15360;  // largest block, in words

// Number of strings, and number of slots; 0 for a null array or a block without
// the marker.
int strarray_count(const StrArray array);
int strarray_capacity(const StrArray array);

// Formats like printf (any length) into slot `index` (0 to 16127) of *array,
// growing the block when its capacity is not above index + 1: from a capacity of
// 1000 or more to ((capacity + 1023) / 1024 + 1) x 1024 words, repeated until the
// slot fits; below that to 31 words, or 2^k - 1 words for the first 2^k above 32
// that exceeds index + 5 (63, 127 ...). Slots skipped between the old count and the
// index get the shared empty text; writing at or past the count makes the count
// index + 1. The old string of the slot is freed.
// Returns the formatted length; -1 for a null array pointer or format, a bad index,
// a block that would exceed 15360 words, a block without the marker, a format
// error or out of memory, leaving the array as it was. Safe to call from several
// threads on different arrays.
int strarray_printf(StrArray* array, int index, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// Frees every string except the shared empty one, then the block; clears *array.
// A block without the marker is left alone (only *array is cleared).
void strarray_free(StrArray* array);

// The shared empty text of unwritten slots (never freed, never to be written).
const char* strarray_empty();
