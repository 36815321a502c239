// User texts: the string table addressed by id.
//
// Every text the program shows lives in resources/strings.txt; the build turns it
// into a sorted table. The symbols of the ids are in "resources/string_ids.h".
// Lookups are lock-free and safe from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "model/services/strtab_data.h"

// The id that stands for "no id" (all ones); res_load_string maps it to the help prompt.
inline constexpr uint32_t kStrIdNone = 0xFFFFFFFFu;
// "For Help, press F1", the text behind kStrIdNone.
inline constexpr uint32_t kStrIdHelpPrompt = 57345;
// The application name, the first part of every message box caption.
inline constexpr uint32_t kStrIdAppName = 128;

// The static text of `id`, or null when the table has no such id. The pointer
// stays valid for the life of the process.
const char* res_find_string(uint32_t id);

// The text of `id` as an owned string. kStrIdNone gives the help prompt; a missing
// id gives its hexadecimal form and a line feed ("0x%08lX\n"), so a forgotten
// string is visible where it is shown.
std::string res_load_string(uint32_t id);

// The whole table, for listings and checks: `count` entries sorted by id.
const StrTabEntry* res_string_table(size_t* count);
