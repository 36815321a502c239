// Save Block, Load Block and Import Text.
#include "commands/block/block_commands.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

#include "commands/draw2d/draw2d.h"
#include "commands/edit/edit.h"
#include "commands/draw2d/internal.h"
#include "commands/input/input.h"
#include "commands/input/support.h"
#include "commands/input/zoom.h"
#include "exchange/file_type.h"
#include "graphics/view/view.h"
#include "graphics/view/view_gdi.h"
#include "graphics/view/view_host.h"
#include "model/db/buffer.h"
#include "model/db/patt.h"
#include "model/db/tree.h"
#include "model/db/undo.h"
#include "model/db/wire.h"
#include "model/file/drawing_file.h"
#include "model/font/strokefont.h"
#include "model/geom/regen.h"
#include "model/math/matrix.h"
#include "model/math/plist.h"
#include "model/math/result.h"
#include "model/services/error_text.h"
#include "model/services/msgbox.h"
#include "model/services/prefs.h"
#include "model/services/safe_file.h"
#include "model/services/strtab.h"
#include "resources/string_ids.h"

using namespace draw2d;

namespace {

constexpr uint32_t kPromptBase = IDS_BLOCK_BASE_POINT;       // "Base point of the block"
constexpr uint32_t kPromptInsert = IDS_BLOCK_INSERT_POINT;   // "Insertion point of the block"
constexpr uint32_t kPromptTextPoint = IDS_TEXT_START_POINT;  // "Start point of the text"
constexpr uint32_t kMsgTooLarge = IDS_IMPORT_TOO_LARGE;
constexpr uint32_t kMsgCantRead = IDS_CANT_READ_FILE;
constexpr uint32_t kMsgReplaced = IDS_CHARS_REPLACED;
constexpr uint32_t kMsgCantWriteBlock = IDS_CANT_WRITE_BLOCK;
constexpr uint32_t kMsgNoFont = IDS_NO_CURRENT_FONT;
constexpr uint32_t kHelpBlock = 40085;

VIEW** view_word(void* arg) { return static_cast<VIEW**>(arg); }

bool choose(std::string* name, const char* pattern, bool save) {
    const auto& hook = block_file_hooks().choose_file;
    return hook && hook(name, pattern, save) && !name->empty();
}

// The file name without folder and extension: the block's label.
std::string label_of(const std::string& path) {
    std::string name = path.substr(path.find_last_of('/') == std::string::npos ? 0 : path.find_last_of('/') + 1);
    const size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0) name.resize(dot);
    return name;
}

// Next UTF-8 code point at s[i] (advancing i); -1 for a byte that starts no valid
// sequence (one byte consumed).
int next_code_point(const std::string& s, size_t* i) {
    const auto b = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char c = b(*i);
    if (c < 0x80) {
        ++*i;
        return c;
    }
    int len = c >= 0xF0 && c <= 0xF4 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 && c <= 0xDF ? 2 : 0;
    if (c >= 0xF5) len = 0;
    if (len == 0 || *i + size_t(len) > s.size()) {
        ++*i;
        return -1;
    }
    int cp = c & (0x7F >> len);
    for (int k = 1; k < len; ++k) {
        const unsigned char d = b(*i + size_t(k));
        if ((d & 0xC0) != 0x80) {
            ++*i;
            return -1;
        }
        cp = (cp << 6) | (d & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not characters.
    const int min[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < min[len] || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) {
        ++*i;
        return -1;
    }
    *i += size_t(len);
    return cp;
}

}  // namespace

BlockFileHooks& block_file_hooks() {
    static BlockFileHooks hooks;
    return hooks;
}

std::vector<std::string> import_text_lines(const std::string& bytes, const StrokeFont* font, size_t* replaced) {
    std::vector<std::string> lines;
    size_t bad = 0;
    std::string line;
    const int question = text_code_for_unicode(font, '?');
    const char fill = question >= 0 ? char(question) : ' ';
    auto put = [&](char c) {
        if (line.size() >= kImportMaxLineChars) {
            lines.push_back(std::move(line));
            line.clear();
        }
        line.push_back(c);
    };
    size_t i = 0, column = 0;
    // Past the line limit the file is refused: no need to cut the rest of it.
    while (i < bytes.size() && lines.size() <= kImportMaxLines) {
        const int cp = next_code_point(bytes, &i);
        if (cp == '\n') {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            lines.push_back(std::move(line));
            line.clear();
            column = 0;
            continue;
        }
        if (cp == '\t') {
            do put(' ');
            while (++column % 8 != 0);
            continue;
        }
        if (cp == '\r' && i < bytes.size() && bytes[i] == '\n') {
            line.push_back('\r');  // taken off at the line's end
            continue;
        }
        if (cp == 0xFEFF && lines.empty() && line.empty()) continue;  // byte order mark
        const int code = cp < 0 ? -1 : text_code_for_unicode(font, cp);
        if (code < 0) {
            ++bad;
            put(fill);
        } else {
            put(char(code));
        }
        ++column;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) lines.push_back(std::move(line));
    if (replaced) *replaced = bad;
    return lines;
}

int cmd_save_block(void* arg) {
    VIEW** view_ref = view_word(arg);
    if (!view_ref || !*view_ref) return kStepCancelled;
    view_set_input_mode(*view_ref, kInputActive);
    buffer* objects = nullptr;
    Vec3 pick;
    int rc = input_object(view_ref, &objects, &pick);
    Vec3 base = pick;
    if (rc == 0 && *view_ref) rc = input_point(view_ref, kPromptBase, nullptr, nullptr, &base, kHelpBlock);
    if (rc == 0 && *view_ref) {
        std::string path;
        if (choose(&path, "*.mcr", true)) {
            const std::string label = label_of(path);
            const int w = block_file_save(path.c_str(), label.c_str(), view_drawing(*view_ref), 0, objects, base);
            if (w != 0)
                msgbox_printf(kStrIdError, "%s|%s (%s)", res_load_string(kMsgCantWriteBlock).c_str(), path.c_str(),
                              error_code_text(w, path.c_str(), FileAccess::write).c_str());
            rc = w;
        }
    }
    input_finish(*view_ref, objects);
    return rc;
}

namespace {

// The objects of a block read for its extent die with their buffer.
void drop_objects(buffer** objects) {
    if (!*objects) return;
    buffer_delete_objects_unlinked(*objects);
    buffer_free(objects);
}

}  // namespace

int cmd_load_block_ask(void* arg) {
    VIEW** view_ref = view_word(arg);
    if (!view_ref || !*view_ref) return kStepCancelled;
    std::string path;
    if (!choose(&path, "*.mcr", false)) return 0;
    // The block is read into a scratch drawing first: its base point places it, and a
    // place that would carry its objects beyond the drawing's range is asked again.
    std::unique_ptr<MODEL> scratch = rtc_make<MODEL>();
    buffer* objects = scratch ? buffer_create() : nullptr;
    char label[kBlockLabelSize] = {0};
    Vec3 base{0, 0, 0};
    int rc = objects ? block_file_load(path.c_str(), label, sizeof label, scratch.get(), objects, &base, nullptr, 0)
                     : kOutOfMemory;
    if (rc != 0) {
        drop_objects(&objects);
        msgbox_printf(kStrIdError, "%s|%s (%s)", res_load_string(kMsgCantRead).c_str(), path.c_str(),
                      error_code_text(rc, path.c_str()).c_str());
        return rc;
    }
    if (!std::isfinite(base.x) || !std::isfinite(base.y) || !std::isfinite(base.z)) base = {0, 0, 0};
    view_set_input_mode(*view_ref, kInputActive);
    Vec3 at = base;
    for (;;) {
        rc = input_point(view_ref, kPromptInsert, nullptr, nullptr, &at, kHelpBlock);
        if (rc != 0 || !*view_ref || move_result_usable(objects, base, at)) break;
    }
    drop_objects(&objects);
    scratch.reset();
    if (*view_ref) view_set_input_mode(*view_ref, kInputIdle);
    if (rc != 0 || !*view_ref) return rc;
    LoadBlockArgs args;
    args.view = *view_ref;
    args.path = path.c_str();
    args.at = &at;
    rc = cmd_load_block(&args);
    if (rc == 0) {
        views_compute_extents(*view_ref);
        view_update_scrollbars_all(*view_ref);
    }
    return rc;
}

int cmd_import_text(void* arg) {
    VIEW** view_ref = view_word(arg);
    if (!view_ref || !*view_ref) return kStepCancelled;
    VIEW* view = *view_ref;
    FONTPATT* font = view->current_font;
    if (!font || !font->font) {
        msgbox_ids(kStrIdError, kMsgNoFont);
        return kBadArgument;
    }
    std::string path;
    if (!choose(&path, "*.txt", false)) return 0;
    // Read at most one byte past the limit: a larger file is refused whole.
    std::string bytes;
    int open_error = 0;
    FILE* f = safe_fopen_read(path.c_str(), &open_error);
    if (!f) {
        msgbox_printf(kStrIdError, "%s|%s (%s)", res_load_string(kMsgCantRead).c_str(), path.c_str(),
                      error_code_text(open_error, path.c_str()).c_str());
        return open_error;
    }
    char chunk[65536];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0 && bytes.size() <= kImportMaxBytes)
        bytes.append(chunk, n);
    const bool read_error = std::ferror(f) != 0;
    std::fclose(f);
    if (read_error) {
        msgbox_printf(kStrIdError, "%s|%s", res_load_string(kMsgCantRead).c_str(), path.c_str());
        return 2;
    }
    size_t replaced = 0;
    std::vector<std::string> lines;
    if (bytes.size() <= kImportMaxBytes) lines = import_text_lines(bytes, font->font, &replaced);
    if (bytes.size() > kImportMaxBytes || lines.size() > kImportMaxLines) {
        msgbox_printf(kStrIdError, res_load_string(kMsgTooLarge).c_str(), int(kImportMaxLines),
                      int(kImportMaxBytes >> 20));
        return 1;
    }
    if (lines.empty()) return 0;
    view_set_input_mode(view, kInputActive);
    Vec3 at{0, 0, 0};
    int rc = input_point(view_ref, kPromptTextPoint, nullptr, nullptr, &at, 40016);
    view = *view_ref;
    if (view) view_set_input_mode(view, kInputIdle);
    if (rc != 0 || !view) return rc;
    // Every line one text height below the previous one, as typed texts go.
    const double h = std::isfinite(view->text_height) && view->text_height > 0 ? view->text_height : 10.0;
    const double slope = std::isfinite(view->text_slope) ? view->text_slope : 0.0;
    Vec3 dir;
    view_get_direction(&view->projection, &dir);
    Vec3d dird{dir.x, dir.y, dir.z};
    double rot = slope - mat_twist_angle(&view->projection.view, dir.x, dir.y, dir.z);
    rot = std::fmod(rot, 2 * M_PI);
    Vec3 p = to_view(view, at);
    CONTAINER* layer = view->current_layer;
    if (!layer) {
        // The drawing's first layer, as block insertion does.
        MODEL* m = view_drawing(view);
        for (ZDLIST* c = m ? m->children : nullptr; c && !layer; c = c->next == m->children ? nullptr : c->next)
            layer = rtc_cast<LAYER>(c);
    }
    if (!layer) return kBadArgument;
    int new_level = 1;
    BBox box = kEmptyBBox;
    for (const std::string& text : lines) {
        if (!text.empty()) {
            auto t = rtc_make<TEXT2>();
            if (!t) {
                rc = kOutOfMemory;
                break;
            }
            t->text = text;
            t->font = font;
            t->insert = to_world(view, p);
            t->layout[kText2Width] = view->text_width;
            t->layout[kText2Height] = view->text_height;
            t->layout[kText2Direction] = rot;
            t->layout[kText2Slant] = view->text_oblique;
            t->colour = view->current_colour;
            t->width = float(view->line_width);
            t->curve_step = view->accuracy_linear;
            t->line_style = view->current_line_style;
            t->second = view->line_style_scale;
            text2_set_normal(*t, dird);
            if ((rc = regen_object(t.get())) != 0) break;
            // One undo level for the whole file.
            if ((rc = model_add_object(layer, t.get(), g_prefs.undo_mode, new_level)) != 0) break;
            new_level = 0;
            object* added = t.release();
            views_extend_extents(view, added);
            bbox_union(added->box, &box);
        }
        p.x += float(std::sin(slope) * h);
        p.y -= float(std::cos(slope) * h);
    }
    if (!bbox_is_empty(box)) view_notify_all(view, &box, 1);
    view_update_scrollbars_all(view);
    view_set_modified(view, 1);
    if (rc == 0 && replaced > 0) msgbox_printf(kStrIdWarning, res_load_string(kMsgReplaced).c_str(), int(replaced));
    return rc;
}
