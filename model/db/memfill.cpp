// Filling blocks of 32-bit words.
#include "model/db/memfill.h"

void mem_fill32(uint32_t* words, uint32_t value, long count) {
    if (!words) return;
    for (long i = 0; i < count; ++i) words[i] = value;
}

void mem_fill_pair(uint32_t* pairs, uint32_t first, uint32_t second, long count) {
    if (!pairs) return;
    for (long i = 0; i < count; ++i) {
        pairs[2 * i] = first;
        pairs[2 * i + 1] = second;
    }
}
