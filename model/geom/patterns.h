// Line-style and hatch-pattern libraries: the text format of ".lin" and ".pat"
// files, the dash-list normalisation every dash list goes through, and the two
// built-in libraries the program carries as texts.
//
// A library adds to a MODEL's pattern ring every pattern it defines that the model
// does not hold yet (same class and name); patterns already there stay unchanged.
// Lines are at most kPattLineMax bytes (the rest of a longer line is dropped); a
// trailing carriage return (Windows line ends) is stripped. Numbers are read
// locale-free; a field that is not a finite number makes its whole line ignored.
//
// Result codes: 0 success, 8 out of memory (patterns made so far stay in the
// model), 13 a class other than LINEPATT or HATCHPATT; patt_load_file also gives
// the C library's error number when the file cannot be opened (kNotRegularFile
// for a name that is no regular file, model/services/safe_file.h).
#pragma once

#include <cstddef>
#include <cstdio>

class MODEL;
struct RtcClass;

inline constexpr int kPattLineMax = 4096;   // bytes per line, terminator included
inline constexpr int kPattMaxFields = 64;   // numbers read from one definition line
inline constexpr int kPattMaxLines = 64;    // definition lines kept per pattern

// Normalises the dash list values[skip .. count-1] in place: consecutive dashes
// (positive) and dots (0) merge into one dash, consecutive gaps (negative) into
// one gap stored positive; a list starting with a gap gets a leading dash of 0; a
// merged element summing to exactly 0 becomes 0.001 (not the leading filler); an
// odd count gets a final gap of 0. The array must have room for count + 2 values.
// Returns the new count including the `skip` values in front (0 for a line style,
// 5 for a hatch line).
int dash_normalise(double* values, int count, int skip);

// The reader: from the open file `file`, or, when it is null, from the
// null-terminated array of line texts `lines`. `cls` is &LINEPATT::rtc_class or
// &HATCHPATT::rtc_class.
[[nodiscard]] int patt_read(MODEL* model, FILE* file, const char* const* lines,
                            const RtcClass* cls);

// The same over a block of text in memory (lines ended by '\n', "\r\n" or the end
// of the block). For libraries kept as text and for tests.
[[nodiscard]] int patt_read_text(MODEL* model, const char* text, size_t size, const RtcClass* cls);

// Reads a library file (text) into the model. 13 for another class (checked
// first), errno when the file cannot be opened, else the reader's result.
[[nodiscard]] int patt_load_file(MODEL* model, const char* path, const RtcClass* cls);

// Reads the built-in line-style library (LINEPATT) or hatch library (HATCHPATT).
[[nodiscard]] int patt_load_builtin(MODEL* model, const RtcClass* cls);

// The built-in libraries as null-terminated arrays of lines (static storage).
const char* const* patt_builtin_lines(const RtcClass* cls);
