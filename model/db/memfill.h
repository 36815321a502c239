// Filling blocks of 32-bit words: one value, or a repeated pair of values.
#pragma once

#include <cstdint>

// Stores `value` into words[0 .. count-1]. Nothing for a null block or count <= 0.
void mem_fill32(uint32_t* words, uint32_t value, long count);

// Stores the pair (first, second) into `count` consecutive 8-byte entries:
// pairs[2i] = first, pairs[2i+1] = second. Nothing for a null block or count <= 0.
void mem_fill_pair(uint32_t* pairs, uint32_t first, uint32_t second, long count);
