// Helpers of the movie tests: animated test frames, ffprobe and ffmpeg runs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Frame `f` of a w x h animation: a gradient with a moving square. Few colours
// (false), per-pixel noise so that more than 256 colours occur (true), or smooth.
constexpr int kFrameSmooth = 2, kFrameNoisy = 1;
std::vector<uint8_t> movie_frame(int w, int h, int f, int style);
// One stream field of ffprobe (e.g. "codec_name", "nb_read_frames"); empty on failure.
std::string probe(const std::string& path, const std::string& field);
// Every frame decoded to rgb24, one after the other; empty on failure.
std::vector<uint8_t> decode_rgb(const std::string& path);
bool have_ffmpeg();
