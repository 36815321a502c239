// Movie test helpers over the ffprobe and ffmpeg command-line tools.
#include "movie_support.h"

#include <cstdio>
#include <cstdlib>

std::vector<uint8_t> movie_frame(int w, int h, int f, int style) {
    const bool rich = style == kFrameNoisy;
    std::vector<uint8_t> rgb(size_t(w) * h * 3);
    uint32_t seed = 12345u + f * 7u;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = &rgb[(size_t(y) * w + x) * 3];
            const bool in_square = x >= f * 3 % w && x < f * 3 % w + w / 4 && y >= h / 3 && y < h / 3 + h / 4;
            p[0] = uint8_t(x * 255 / (w > 1 ? w - 1 : 1));
            p[1] = uint8_t(y * 255 / (h > 1 ? h - 1 : 1));
            p[2] = in_square ? 250 : style == kFrameSmooth ? uint8_t((x + y) * 255 / (w + h)) : 40;
            if (style == kFrameSmooth) continue;
            if (!rich) {
                p[0] &= 0xC0, p[1] &= 0xC0;  // few colours
            } else {
                seed = seed * 1103515245u + 12345u;
                p[2] = uint8_t(p[2] + ((seed >> 16) & 7));
            }
        }
    return rgb;
}

namespace {
std::string run(const std::string& cmd) {
    std::string out;
    FILE* f = popen(cmd.c_str(), "r");
    if (!f) return out;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
    pclose(f);
    return out;
}
}  // namespace

bool have_ffmpeg() { return std::system("ffmpeg -version >/dev/null 2>&1 && ffprobe -version >/dev/null 2>&1") == 0; }

std::string probe(const std::string& path, const std::string& field) {
    std::string s = run("ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=" + field +
                        " -of default=noprint_wrappers=1:nokey=1 '" + path + "' 2>/dev/null");
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
    return s;
}

std::vector<uint8_t> decode_rgb(const std::string& path) {
    const std::string s = run("ffmpeg -v error -i '" + path + "' -fps_mode passthrough -f rawvideo -pix_fmt rgb24 - 2>/dev/null");
    return std::vector<uint8_t>(s.begin(), s.end());
}
