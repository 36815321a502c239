// Reading and writing the single-instance open request.
#include "shell/core/open_request.h"

static constexpr std::string_view kHead = "[open(\"";
static constexpr std::string_view kTail = "\")]";

static bool path_acceptable(std::string_view path) {
    if (path.empty() || path.size() > kOpenRequestMaxPath || path[0] != '/') return false;
    for (unsigned char c : path)
        if (c < 0x20 || c == 0x7F) return false;
    return true;
}

bool open_request_parse(std::string_view text, std::string* path) {
    if (text.size() > kOpenRequestMaxText || text.size() < kHead.size() + kTail.size()) return false;
    if (text.substr(0, kHead.size()) != kHead || text.substr(text.size() - kTail.size()) != kTail)
        return false;
    std::string_view inner = text.substr(kHead.size(), text.size() - kHead.size() - kTail.size());
    if (!path_acceptable(inner)) return false;
    path->assign(inner);
    return true;
}

std::string open_request_format(std::string_view path) {
    if (!path_acceptable(path)) return {};
    std::string out;
    out.reserve(path.size() + kHead.size() + kTail.size());
    out.append(kHead).append(path).append(kTail);
    return out;
}
