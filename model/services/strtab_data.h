// The generated string table as plain data: entries sorted by id, ids unique.
// The table itself is written at build time by tools/strtab_gen from
// resources/strings.txt; read it through model/services/strtab.h.
#pragma once

#include <cstddef>
#include <cstdint>

struct StrTabEntry {
    uint32_t id;
    const char* text;  // static, never freed
};

extern const StrTabEntry g_strtab_entries[];
extern const size_t g_strtab_count;
