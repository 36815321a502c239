// Reading line-style and hatch-pattern libraries: name lines ("*name,comment"),
// definition lines of comma-separated numbers, dash-list normalisation, and the
// making of the patterns a model does not hold yet.
#include "model/geom/patterns.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "model/db/patt.h"
#include "model/db/tree.h"
#include "model/math/result.h"
#include "model/services/safe_file.h"

namespace {

// Reads one field as the C library's "%lf" would (leading blanks, then the
// longest number prefix); false when it holds no number or a non-finite one.
bool parse_field(std::string_view f, double* out) {
    size_t i = 0;
    while (i < f.size() && (f[i] == ' ' || f[i] == '\t' || f[i] == '\v' || f[i] == '\f' ||
                            f[i] == '\r' || f[i] == '\n'))
        ++i;
    if (i < f.size() && f[i] == '+') ++i;
    if (i >= f.size()) return false;
    const char* first = f.data() + i;
    const char* last = f.data() + f.size();
    double v = 0;
    auto res = std::from_chars(first, last, v, std::chars_format::general);
    if (res.ec != std::errc() || res.ptr == first) return false;
    if (!std::isfinite(v)) return false;
    *out = v;
    return true;
}

// Parses a definition line into numbers (at most kPattMaxFields, the first field
// skipped for a line style). False when a field is not a number.
bool parse_definition(std::string_view line, bool skip_first, std::vector<double>* values) {
    values->clear();
    size_t pos = 0;
    bool first = true;
    while (static_cast<int>(values->size()) < kPattMaxFields) {
        size_t comma = line.find(',', pos);
        std::string_view field =
            line.substr(pos, comma == std::string_view::npos ? std::string_view::npos : comma - pos);
        if (!(first && skip_first)) {
            double v;
            if (!parse_field(field, &v)) return false;
            values->push_back(v);
        }
        first = false;
        if (comma == std::string_view::npos) break;
        pos = comma + 1;
    }
    return true;
}

class Reader {
  public:
    Reader(MODEL* model, const RtcClass* cls)
        : model_(model), cls_(cls), line_style_(cls == &LINEPATT::rtc_class) {}

    // One line of text (without its line end). 0 or 8.
    int feed(std::string_view line) {
        if (size_t nul = line.find('\0'); nul != std::string_view::npos) line = line.substr(0, nul);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        // Empty lines, and lines of nothing but blanks, are skipped (a line style's
        // first field is not read, so a blank line would pass for an empty dash list).
        if (line.find_first_not_of(" \t\v\f\r\n") == std::string_view::npos) return 0;
        if (line[0] == '*') {
            if (int rc = close()) return rc;
            std::string_view name = line.substr(1);
            name = name.substr(0, name.find(','));
            name_.assign(name);
            have_name_ = true;
            return 0;
        }
        if (!have_name_ || static_cast<int>(defs_.size()) >= kPattMaxLines) return 0;
        if (!parse_definition(line, line_style_, &values_)) return 0;
        const int skip = line_style_ ? 0 : 5;
        const int count = static_cast<int>(values_.size());
        if (count < skip) return 0;
        values_.resize(count + 2);
        values_.resize(dash_normalise(values_.data(), count, skip));
        // Dashes that add up beyond the range of numbers make no pattern.
        for (double v : values_)
            if (!std::isfinite(v)) return 0;
        defs_.push_back(values_);
        return 0;
    }

    // Makes the pattern collected so far, unless the model has one of its name.
    int close() {
        if (!have_name_ || defs_.empty()) {
            defs_.clear();
            return 0;
        }
        int rc = 0;
        if (!model_find_patt(model_, name_.c_str(), cls_)) rc = make();
        defs_.clear();
        return rc;
    }

  private:
    int make() {
        std::unique_ptr<RTC> made = rtc_new(name_.c_str(), const_cast<RtcClass*>(cls_));
        if (!made) return kOutOfMemory;
        if (LINEPATT* lp = rtc_cast<LINEPATT>(made.get())) {
            lp->dashes = defs_.front();
        } else if (HATCHPATT* hp = rtc_cast<HATCHPATT>(made.get())) {
            hp->lines.reserve(defs_.size());
            for (const auto& d : defs_) {
                HatchLine hl;
                hl.angle = d[0];
                hl.origin_x = d[1];
                hl.origin_y = d[2];
                hl.offset_x = d[3];
                hl.offset_y = d[4];
                hl.dashes.assign(d.begin() + 5, d.end());
                hp->lines.push_back(std::move(hl));
            }
        }
        if (model_insert_patt(model_, static_cast<PATT*>(made.get()))) made.release();
        return 0;
    }

    MODEL* model_;
    const RtcClass* cls_;
    bool line_style_;
    bool have_name_ = false;
    std::string name_;
    std::vector<std::vector<double>> defs_;
    std::vector<double> values_;
};

bool class_ok(const RtcClass* cls) {
    return cls == &LINEPATT::rtc_class || cls == &HATCHPATT::rtc_class;
}

// Runs the reader over the lines that `next` hands out (false at the end).
template <class Next>
int run_reader(MODEL* model, const RtcClass* cls, Next next) {
    if (!model) return kBadArgument;
    if (!class_ok(cls)) return kBadArgument;
    try {
        Reader reader(model, cls);
        std::string_view line;
        while (next(&line)) {
            if (int rc = reader.feed(line)) return rc;
        }
        return reader.close();
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
}

}  // namespace

int dash_normalise(double* values, int count, int skip) {
    if (!values || count <= skip) return count < 0 ? 0 : count;
    double* d = values + skip;
    const int n = count - skip;
    std::vector<double> in(d, d + n);  // small: at most kPattMaxFields numbers
    int out = 0;
    // A list that starts with a gap gets a zero dash in front; it stays 0.
    if (in[0] < 0) d[out++] = 0.0;
    for (int i = 0; i < n;) {
        const bool gap = in[i] < 0;
        double sum = 0.0;
        for (; i < n && (in[i] < 0) == gap; ++i) sum += in[i];
        sum = std::fabs(sum);
        d[out++] = sum == 0.0 ? 0.001 : sum;
    }
    if (out & 1) d[out++] = 0.0;
    return skip + out;
}

int patt_read(MODEL* model, FILE* file, const char* const* lines, const RtcClass* cls) {
    std::string buffer;
    if (file) {
        char chunk[kPattLineMax];
        return run_reader(model, cls, [&](std::string_view* line) {
            if (!std::fgets(chunk, sizeof chunk, file)) return false;
            size_t len = std::strlen(chunk);
            bool ended = len > 0 && chunk[len - 1] == '\n';
            if (ended) --len;
            buffer.assign(chunk, len);
            // A line longer than the buffer: the rest of it is dropped.
            if (!ended && len == sizeof chunk - 1) {
                int c;
                while ((c = std::fgetc(file)) != EOF && c != '\n') {
                }
            }
            *line = buffer;
            return true;
        });
    }
    if (!lines) return model && class_ok(cls) ? 0 : kBadArgument;
    size_t i = 0;
    return run_reader(model, cls, [&](std::string_view* line) {
        if (!lines[i]) return false;
        std::string_view l(lines[i++]);
        *line = l.substr(0, kPattLineMax - 1);
        return true;
    });
}

int patt_read_text(MODEL* model, const char* text, size_t size, const RtcClass* cls) {
    if (!text && size) return kBadArgument;
    size_t pos = 0;
    return run_reader(model, cls, [&](std::string_view* line) {
        if (pos >= size) return false;
        const char* start = text + pos;
        const void* nl = std::memchr(start, '\n', size - pos);
        size_t len = nl ? static_cast<const char*>(nl) - start : size - pos;
        pos += len + (nl ? 1 : 0);
        *line = std::string_view(start, len).substr(0, kPattLineMax - 1);
        return true;
    });
}

int patt_load_file(MODEL* model, const char* path, const RtcClass* cls) {
    if (!class_ok(cls)) return kBadArgument;
    if (!path) return kBadArgument;
    int e = 0;
    FILE* f = safe_fopen_read(path, &e);
    if (!f) return e;
    int rc = patt_read(model, f, nullptr, cls);
    std::fclose(f);
    return rc;
}
