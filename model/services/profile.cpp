// The settings store: one INI file behind a mutex, and the typed profile routines.
#include "model/services/profile.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <vector>

#include <fcntl.h>
#include <locale.h>
#include <sys/file.h>
#include <unistd.h>

#include "model/services/error_text.h"
#include "model/services/ini_store.h"
#include "model/services/log.h"
#include "model/services/msgbox.h"
#include "model/services/strtab.h"
#include "model/services/utf8.h"

namespace {

struct Pending {
    std::string section, key, value;
};

struct Settings {
    std::mutex mutex;
    IniStore store;  // the file as last read or written, with this copy's puts
    std::vector<Pending> pending;  // puts not yet in the file, oldest first
    std::string path;
    bool opened = false;
    int batch = 0;
    bool dirty = false;
    int last_error = 0;
    int read_error = 0;  // the file exists but could not be read: never overwrite it
    bool warned = false;  // the read error was logged
    bool told = false;    // the user was told that the settings cannot be saved
    int untold = 0;       // a failed write still to be told (outside the mutex)
};

// Logs a settings file that cannot be read or understood, once per file opened.
void warn_unreadable(Settings& s, int error) {
    if (s.warned) return;
    s.warned = true;
    if (error == kIniNotText)
        log_message(LogLevel::warning,
                    "the settings file %s is not UTF-8 text: it is left as it is, and settings "
                    "changed now are kept until the program ends",
                    s.path.c_str());
    else
        log_message(LogLevel::warning, "cannot read the settings file %s (error %d)", s.path.c_str(),
                    error);
}

// An exclusive advisory lock on a file beside the settings file, held while the file
// is re-read and replaced, so that two running copies never write over each other's
// keys. Without a lock file (a folder that cannot be written) the write goes on and
// reports its own error.
class FileLock {
  public:
    explicit FileLock(const std::string& settings_path) {
        std::error_code ec;
        const std::filesystem::path p(settings_path);
        if (p.has_parent_path()) std::filesystem::create_directories(p.parent_path(), ec);
        fd_ = ::open((settings_path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd_ >= 0) {
            while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
            }
        }
    }
    ~FileLock() {
        if (fd_ >= 0) ::close(fd_);  // closing releases the lock
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

  private:
    int fd_ = -1;
};

Settings& settings() {
    static Settings s;
    return s;
}

// A failed write: the user hears of it once (tell_untold, without the mutex held).
int failed_locked(Settings& s, int error) {
    s.last_error = error;
    if (!s.told) {
        s.told = true;
        s.untold = error;
    }
    return error;
}

// Tells the user of a failed write not yet told: the file, the reason, and that the
// changed settings are kept. Called without the mutex: the box's own loop may put
// settings.
void tell_untold() {
    Settings& s = settings();
    int error = 0;
    std::string path;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        std::swap(error, s.untold);
        path = s.path;
    }
    if (!error) return;
    constexpr uint32_t kCantWriteSettings = 45291, kSettingsKept = 45292;
    msgbox_printf(kStrIdError, "%s|%s (%s)|%s", res_load_string(kCantWriteSettings).c_str(), path.c_str(),
                  error_code_text(error, path.c_str(), FileAccess::write).c_str(),
                  res_load_string(kSettingsKept).c_str());
}

// Callers hold the mutex.
void open_locked(Settings& s) {
    if (s.opened) return;
    s.path = settings_default_path();
    s.opened = true;
    s.read_error = s.store.load(s.path);
    if (s.read_error) warn_unreadable(s, s.read_error);
}

// Writes this copy's pending puts into the file as it is now: under the lock, the
// file is read again, only the pending keys change, and the result replaces it. Another
// running copy's keys are so never undone.
int write_locked(Settings& s) {
    s.dirty = false;
    if (s.read_error) {
        // Writing the store would replace every setting the file holds with the few
        // put since: keep the file, and the changes in memory only.
        return failed_locked(s, s.read_error);
    }
    FileLock lock(s.path);
    IniStore now;
    const int r = now.load(s.path);
    if (r != 0) {
        // The file changed into one that cannot be read or understood: keep it.
        warn_unreadable(s, r);
        return failed_locked(s, r);
    }
    for (const Pending& p : s.pending) now.put(p.section, p.key, p.value);
    s.last_error = now.save(s.path);
    if (s.last_error) {
        log_message(LogLevel::warning, "cannot write the settings file %s (error %d)", s.path.c_str(),
                    s.last_error);
        return failed_locked(s, s.last_error);
    }
    s.store = std::move(now);
    s.pending.clear();
    return 0;
}

bool get_text(const char* section, const char* key, std::string* out) {
    Settings& s = settings();
    std::lock_guard<std::mutex> lock(s.mutex);
    open_locked(s);
    return s.store.get(section ? section : "", key ? key : "", out);
}

void put_text(const char* section, const char* key, const std::string& value) {
    Settings& s = settings();
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        open_locked(s);
        s.store.put(section ? section : "", key ? key : "", value);
        s.pending.push_back(Pending{section ? section : "", key ? key : "", value});
        s.dirty = true;
        if (s.batch == 0) write_locked(s);
    }
    tell_untold();
}

// Where a number's digits (or its '-') begin: after leading white space and a '+',
// as scanf reads; null for a null text or a doubled sign.
const char* number_start(const char* text) {
    if (!text) return nullptr;
    const char* p = text;
    while (*p && std::isspace(static_cast<unsigned char>(*p))) ++p;
    if (*p == '+') {
        ++p;
        if (*p == '+' || *p == '-') return nullptr;
    }
    return p;
}

}  // namespace

std::string settings_default_path() {
    std::string base;
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && xdg[0] == '/') {
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        base = std::string(home && *home ? home : ".") + "/.config";
    }
    std::string app = kSettingsApplication;
    for (char& c : app)
        if (c == '/') c = '-';
    return base + "/" + kSettingsCompany + "/" + app + ".ini";
}

int settings_open(const std::string& path) {
    Settings& s = settings();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.path = path.empty() ? settings_default_path() : path;
    s.opened = true;
    s.dirty = false;
    s.last_error = 0;
    s.pending.clear();
    s.warned = false;
    s.told = false;
    s.untold = 0;
    s.read_error = s.store.load(s.path);
    if (s.read_error) warn_unreadable(s, s.read_error);
    return s.read_error;
}

std::string settings_path() {
    Settings& s = settings();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.path;
}

int settings_flush() {
    Settings& s = settings();
    int r = 0;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        open_locked(s);
        r = write_locked(s);
    }
    tell_untold();
    return r;
}

int settings_last_error() {
    Settings& s = settings();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.last_error;
}

SettingsBatch::SettingsBatch() {
    Settings& s = settings();
    std::lock_guard<std::mutex> lock(s.mutex);
    ++s.batch;
}

SettingsBatch::~SettingsBatch() {
    Settings& s = settings();
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        if (--s.batch == 0 && s.dirty) write_locked(s);
    }
    tell_untold();
}

std::string profile_format_int(long value) {
    char buf[32];
    auto r = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, r.ptr);
}

// The shortest text that reads back as the same double ("0.1", "6.283185307179586",
// "1e+300"): six digits would turn a stored full turn into 6.28319.
std::string profile_format_double(double value) {
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, r.ptr);
}

bool profile_parse_int(const char* text, int* out) {
    const char* p = number_start(text);
    if (!p) return false;
    int value = 0;
    auto r = std::from_chars(p, p + std::strlen(p), value);
    if (r.ec != std::errc()) return false;
    *out = value;
    return true;
}

bool profile_parse_double(const char* text, double* out) {
    // As "%lf" reads in the C locale: hexadecimal ("0x10" is 16), and a number too
    // small for a double ("1e-400") is 0.
    static const locale_t c_locale = ::newlocale(LC_ALL_MASK, "C", locale_t(0));
    if (!text || !c_locale) return false;
    char* end = nullptr;
    const double value = ::strtod_l(text, &end, c_locale);
    if (end == text || !std::isfinite(value)) return false;
    *out = value;
    return true;
}

int app_profile_get_int(const char* section, const char* key, int def) {
    std::string text;
    int value = def;
    if (get_text(section, key, &text) && profile_parse_int(text.c_str(), &value)) return value;
    return def;
}

double app_profile_get_double(const char* section, const char* key, double def) {
    std::string text;
    double value = def;
    if (get_text(section, key, &text) && profile_parse_double(text.c_str(), &value)) return value;
    return def;
}

std::string app_profile_get_text(const char* section, const char* key, const char* def) {
    std::string text;
    if (get_text(section, key, &text)) return text;
    return def ? def : "";
}

void app_profile_get_string(const char* section, const char* key, char* buffer, size_t size,
                            const char* def) {
    if (!buffer || size == 0) return;
    utf8_copy(buffer, size, app_profile_get_text(section, key, def));
}

void app_profile_put_int(const char* section, const char* key, long value) {
    put_text(section, key, profile_format_int(value));
}

void app_profile_put_double(const char* section, const char* key, double value) {
    put_text(section, key, profile_format_double(value));
}

void app_profile_put_string(const char* section, const char* key, const char* text) {
    put_text(section, key, text ? text : "");
}

int prof_get_int(const char* section, const char* key, int def) { return app_profile_get_int(section, key, def); }
double prof_get_double(const char* section, const char* key, double def) {
    return app_profile_get_double(section, key, def);
}
void prof_get_string_buf(const char* section, const char* key, char* buffer, size_t size, const char* def) {
    app_profile_get_string(section, key, buffer, size, def);
}
void prof_put_int(const char* section, const char* key, long value) { app_profile_put_int(section, key, value); }
void prof_put_double(const char* section, const char* key, double value) {
    app_profile_put_double(section, key, value);
}
void prof_put_string(const char* section, const char* key, const char* text) {
    app_profile_put_string(section, key, text);
}

int pref_int(int load, const char* section, const char* key, int value, int def) {
    if (load) return prof_get_int(section, key, def);
    prof_put_int(section, key, value);
    return value;
}

double pref_double(int load, const char* section, const char* key, double value, double def) {
    if (load) return prof_get_double(section, key, def);
    prof_put_double(section, key, value);
    return value;
}

void pref_string(int load, const char* section, const char* key, char* buffer, size_t size, const char* def) {
    if (load) prof_get_string_buf(section, key, buffer, size, def);
    else if (buffer) prof_put_string(section, key, buffer);
}
