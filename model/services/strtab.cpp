// Lookup in the generated string table (binary search over the sorted entries).
#include "model/services/strtab.h"

#include <algorithm>
#include <cstdio>

const char* res_find_string(uint32_t id) {
    const StrTabEntry* begin = g_strtab_entries;
    const StrTabEntry* end = g_strtab_entries + g_strtab_count;
    const StrTabEntry* it =
        std::lower_bound(begin, end, id, [](const StrTabEntry& e, uint32_t key) { return e.id < key; });
    return it != end && it->id == id ? it->text : nullptr;
}

std::string res_load_string(uint32_t id) {
    if (id == kStrIdNone) id = kStrIdHelpPrompt;
    if (const char* text = res_find_string(id)) return text;
    char buf[24];
    std::snprintf(buf, sizeof buf, "0x%08lX\n", static_cast<unsigned long>(id));
    return buf;
}

const StrTabEntry* res_string_table(size_t* count) {
    if (count) *count = g_strtab_count;
    return g_strtab_entries;
}
