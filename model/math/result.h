// The result codes every library shares. A function that reports how it went returns
// 0 on success and a code otherwise; the codes below mean the same wherever they are
// returned. A module's own codes (a font's "unknown format", a hide run's "nothing to
// hide") are named in that module's header. The numbers never change: messages show
// them to the user and log files record them.
#pragma once

// An allocation failed. What the call promised to leave untouched is untouched.
inline constexpr int kOutOfMemory = 8;
// An argument or content the call cannot take: a null, non-finite or out-of-range
// value, a record that does not parse, a font or file that is not there.
inline constexpr int kBadArgument = 13;
// The object or handle is not of the kind the call takes (not a buffer, a font
// without its magic, a face that is not open).
inline constexpr int kWrongKind = 6;
