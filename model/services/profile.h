// The settings store and its typed get and put routines.
//
// All persistent settings live in one INI file, a section per key path, every value
// as text. The default file is "$XDG_CONFIG_HOME/Tarrow Group/Zelo for 95-NT.ini"
// (~/.config when XDG_CONFIG_HOME is unset): the company folder and the application
// name, with the '/' that a file name cannot hold turned into '-'.
//
// The store is opened on first use (or explicitly by settings_open) and every put
// is written through to the file at once, except inside a SettingsBatch, which
// writes once when the outermost batch ends. A write locks "<file>.lock" (flock),
// reads the file again and changes only the keys put since the last write, so another
// running copy's keys are kept. A write that fails (a full disk, a read-only file)
// keeps the puts and tries them again with the next write; the user is told once,
// by a message box naming the file and the reason. All routines are thread-safe.
//
// Numbers are written and read without regard to the C locale: integers as "%ld",
// reals as the shortest text that reads back exactly (older files written with six
// significant digits read as before); a text that does not begin with a number
// (blanks may lead) gives the default, and so does a non-finite real. "12abc" reads
// as 12.
#pragma once

#include <cstddef>
#include <string>

inline constexpr const char* kSettingsCompany = "Tarrow Group";
inline constexpr const char* kSettingsApplication = "Zelo for 95/NT";

// The default settings file, from the environment as described above.
std::string settings_default_path();
// Uses `path` as the settings file from now on (loading it; a missing file is an
// empty store). An empty path means the default file. Returns 0, errno of a file
// that exists but cannot be read, or kIniNotText for a file that is not UTF-8 text:
// the store is then empty, one warning is logged, and the file is never written over
// (puts stay in memory, every write reports the error), so the settings it holds are
// not lost.
[[nodiscard]] int settings_open(const std::string& path);
// The file in use (empty before the first use).
std::string settings_path();
// Writes the store now: 0 or errno.
[[nodiscard]] int settings_flush();
// The errno of the last failed write (0 when the last write succeeded).
int settings_last_error();

// Defers writing until the outermost batch ends (then writes once).
class SettingsBatch {
  public:
    SettingsBatch();
    ~SettingsBatch();
    SettingsBatch(const SettingsBatch&) = delete;
    SettingsBatch& operator=(const SettingsBatch&) = delete;
};

// Text-level routines. Section and key must not be null.
int app_profile_get_int(const char* section, const char* key, int def);
double app_profile_get_double(const char* section, const char* key, double def);
// Copies the text (or `def` when the key is absent; null counts as "") into
// `buffer` of `size` bytes, cutting a longer text to at most size - 1 bytes on a
// character boundary (utf8_copy) and terminating it. Nothing is written when size
// is 0.
void app_profile_get_string(const char* section, const char* key, char* buffer, size_t size,
                            const char* def);
// The text of a key, or `def` when it is absent.
std::string app_profile_get_text(const char* section, const char* key, const char* def);
void app_profile_put_int(const char* section, const char* key, long value);
void app_profile_put_double(const char* section, const char* key, double value);
void app_profile_put_string(const char* section, const char* key, const char* text);

// The same with the application implied; every module calls these.
int prof_get_int(const char* section, const char* key, int def);
double prof_get_double(const char* section, const char* key, double def);
void prof_get_string_buf(const char* section, const char* key, char* buffer, size_t size, const char* def);
void prof_put_int(const char* section, const char* key, long value);
void prof_put_double(const char* section, const char* key, double value);
void prof_put_string(const char* section, const char* key, const char* text);

// Load-or-save routines of the settings tables: `load` non-zero loads (returns the
// stored value or `def`), zero saves `value` (and returns it).
int pref_int(int load, const char* section, const char* key, int value, int def);
double pref_double(int load, const char* section, const char* key, double value, double def);
// Loading fills `buffer` (as app_profile_get_string); saving writes its text.
void pref_string(int load, const char* section, const char* key, char* buffer, size_t size, const char* def);

// Locale-free number texts shared with the rest of the settings code.
std::string profile_format_int(long value);      // "%ld"
std::string profile_format_double(double value);  // shortest exact text
// Leading blanks skipped, then an optional sign and digits; false when no number
// begins the text or it does not fit an int.
bool profile_parse_int(const char* text, int* out);
// Leading blanks skipped, then a real as "%lf" reads it in the C locale (hexadecimal
// included, a number too small for a double is 0); false when none begins the text or
// it is not finite.
bool profile_parse_double(const char* text, double* out);
