// Small locale-free scanners shared by the settings text readers of the shell.
#pragma once

#include <string_view>

// Reads up to `count` blank-separated decimal ints from the start of `text` the way
// "%d %d ..." would: leading blanks are skipped, each number is an optional sign and
// digits, and reading stops at the first thing that is not a number. Returns how many
// were read; a number that does not fit an int stops the scan (it is not counted).
int scan_ints(std::string_view text, int* out, int count);
