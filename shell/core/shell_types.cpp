// Desktop entry and MIME package of the program's file types.
#include "shell/core/shell_types.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "model/services/strtab.h"
#include "resources/string_ids.h"

extern char** environ;

namespace {

std::string xml_escape(std::string_view s) {
    std::string out;
    for (char c : s) {
        switch (c) {
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '&': out += "&amp;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
    return out;
}

// Creates every missing folder of `dir` (mode 0755).
int make_dirs(const std::string& dir) {
    for (size_t pos = 1; pos <= dir.size(); ++pos) {
        if (pos == dir.size() || dir[pos] == '/') {
            std::string part = dir.substr(0, pos);
            if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return errno;
        }
    }
    return 0;
}

// Runs a tool found on PATH and waits for it; its output is discarded.
void run_tool(const char* tool, const std::string& arg) {
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&fa, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::string a0 = tool;
    char* argv[] = {a0.data(), const_cast<char*>(arg.c_str()), nullptr};
    pid_t pid;
    if (posix_spawnp(&pid, tool, &fa, nullptr, argv, environ) == 0) {
        int status;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
    posix_spawn_file_actions_destroy(&fa);
}

}  // namespace

std::string shell_data_home() {
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg && xdg[0] == '/') return xdg;
    const char* home = std::getenv("HOME");
    return std::string(home ? home : "") + "/.local/share";
}

std::string desktop_exec_quote(std::string_view arg) {
    // Reserved characters force quoting; inside quotes ", `, $ and \ are escaped.
    // '%' is always doubled. The value is then escaped once more as a string value
    // (a backslash written as two).
    bool quote = arg.empty() || arg.find_first_of(" \t\n\"'\\><~|&;$*?#()`") != std::string_view::npos;
    std::string q;
    for (char c : arg) {
        if (c == '%') {
            q += "%%";
        } else if (quote && (c == '"' || c == '`' || c == '$' || c == '\\')) {
            q += '\\';
            q += c;
        } else {
            q += c;
        }
    }
    if (quote) q = "\"" + q + "\"";
    std::string out;
    for (char c : q) {
        if (c == '\\') out += "\\\\";
        else out += c;
    }
    return out;
}

std::string shell_desktop_entry_text(std::string_view exec_path) {
    std::ostringstream s;
    s << "[Desktop Entry]\n"
      << "Type=Application\n"
      << "Name=" << res_load_string(IDS_APP_NAME) << "\n"
      << "Comment=" << res_load_string(IDS_ZELO_DRAWING) << "\n"
      << "Exec=" << desktop_exec_quote(exec_path) << " %f\n"
      << "Terminal=false\n"
      << "Categories=Graphics;2DGraphics;3DGraphics;Engineering;\n"
      << "MimeType=" << kMimeDrawing << ";" << kMimeBlock << ";" << kMimeFont << ";image/vnd.dxf;image/x-3ds;\n";
    return s.str();
}

std::string shell_mime_package_text() {
    std::ostringstream s;
    s << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      << "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
      << "  <mime-type type=\"" << kMimeDrawing << "\">\n"
      << "    <comment>" << xml_escape(res_load_string(IDS_ZELO_DRAWING)) << "</comment>\n"
      << "    <glob pattern=\"*.qvm\"/>\n"
      // Header words 1 and the version: 112, or 100 to 111 (masked to 0x60-0x6F).
      << "    <magic priority=\"50\">\n"
      << "      <match type=\"string\" offset=\"0\" value=\"\\x01\\x00\\x00\\x00\\x70\\x00\\x00\\x00\"/>\n"
      << "      <match type=\"string\" offset=\"0\" value=\"\\x01\\x00\\x00\\x00\\x60\\x00\\x00\\x00\""
         " mask=\"0xFFFFFFFFF0FFFFFF\"/>\n"
      << "    </magic>\n"
      << "  </mime-type>\n"
      << "  <mime-type type=\"" << kMimeBlock << "\">\n"
      << "    <comment>" << xml_escape(res_load_string(IDS_ZELO_BLOCK)) << "</comment>\n"
      << "    <glob pattern=\"*.mcr\"/>\n"
      << "  </mime-type>\n"
      << "  <mime-type type=\"" << kMimeFont << "\">\n"
      << "    <comment>" << xml_escape(res_load_string(IDS_ZELO_FONTS)) << "</comment>\n"
      << "    <glob pattern=\"*.plf\"/>\n"
      << "  </mime-type>\n"
      << "</mime-info>\n";
    return s.str();
}

int write_file_if_changed(const std::string& path, std::string_view text, bool* changed) {
    *changed = false;
    {
        std::ifstream in(path, std::ios::binary);
        if (in) {
            std::string old((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            if (old == text) return 0;
        }
    }
    size_t slash = path.rfind('/');
    if (slash != std::string::npos && slash > 0)
        if (int e = make_dirs(path.substr(0, slash))) return e;
    std::string tmp = path + ".new";
    FILE* f = std::fopen(tmp.c_str(), "wb");
    if (!f) return errno;
    bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    ok = (std::fflush(f) == 0) && ok;
    int err = ok ? 0 : (errno ? errno : EIO);
    if (std::fclose(f) != 0 && !err) err = errno ? errno : EIO;
    if (!err && std::rename(tmp.c_str(), path.c_str()) != 0) err = errno;
    if (err) {
        std::remove(tmp.c_str());
        return err;
    }
    *changed = true;
    return 0;
}

ShellTypesResult shell_types_register(const std::string& data_home, std::string_view exec_path,
                                      bool run_tools) {
    ShellTypesResult r;
    std::string apps = data_home + "/applications";
    std::string mime = data_home + "/mime";
    r.error = write_file_if_changed(apps + "/zelo.desktop", shell_desktop_entry_text(exec_path),
                                    &r.desktop_changed);
    int e = write_file_if_changed(mime + "/packages/zelo.xml", shell_mime_package_text(), &r.mime_changed);
    if (!r.error) r.error = e;
    if (run_tools) {
        if (r.mime_changed) run_tool("update-mime-database", mime);
        if (r.desktop_changed) run_tool("update-desktop-database", apps);
    }
    return r;
}
