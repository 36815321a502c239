// Result codes the movie writers share besides 0, 8 (out of memory) and the system's
// error numbers of their files.
#pragma once

// The writer refused what it was given: a frame larger than the movie holds, a movie
// closed without frames, parameters out of range or a frame the encoder would not
// code. Not a system error number, so it never reads as one (13 is "permission
// denied" there).
inline constexpr int kMovieRefused = 1004;
