// Test-only writer of the unchunked drawing and block files of versions 100 to 111,
// made from the description of those layouts (no such files exist to test with).
// It writes one fixed sample drawing whose content depends on the version, and lets
// a test change single words to make damaged files.
#pragma once

#include <cstdint>
#include <string>

#include "file_support.h"

struct OldSample {
    int version = 111;
    // Damage: the word after the mesh group (0 or 1 is valid), the stored kind of the
    // polyline record, the edge index of the mesh's first edge, the kind of the first
    // style record, a string length.
    int32_t hatch_word = 1;
    int32_t polyline_kind = 2;
    int32_t first_edge_vertex = 0;
    int32_t first_style_kind = 0;
    int32_t text_length = -2;  // -2: the real length
    bool as_block = false;
};

// The file's bytes (LZW-coded behind the 8-byte header from version 107 on).
Bytes old_sample_file(const OldSample& sample);

// LZW-codes bytes the way the older files store them (9 to 12-bit codes, least
// significant bit first).
Bytes lzw_encode(const Bytes& plain);
