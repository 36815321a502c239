// File-type tables, filters, final names and the export options.
#include "shell/core/file_types.h"

#include <cctype>
#include <cmath>

#include "model/services/profile.h"
#include "model/services/strtab.h"
#include "resources/string_ids.h"

namespace {

const FileTypeEntry kExportRows[] = {{IDS_PAINTBRUSH, IDS_FILTER_PCX, 0},
                                     {IDS_UNCOMPRESSED_TIFF, IDS_FILTER_TIF, 1},
                                     {IDS_COMPRESSED_TIFF, IDS_FILTER_TIF, 2},
                                     {IDS_WINDOWS_BITMAP, IDS_FILTER_BMP, 4},
                                     {IDS_COMPUSERVE_BITMAP, IDS_FILTER_GIF, 6},
                                     {IDS_JPEG_JFIF_COMPLIANT, IDS_FILTER_JPG, 10},
                                     {IDS_JPEG_JFIF_COMPLIANT, IDS_FILTER_JIF, 11},
                                     {IDS_TARGA_BITMAP, IDS_FILTER_TGA, 12},
                                     {IDS_ENCAPSULATED_POSTSCRIPT, IDS_FILTER_EPS, 3},
                                     {IDS_HPGL_PLOTTER, IDS_FILTER_PLT, 5},
                                     {IDS_3D_STUDIO, IDS_FILTER_ASC, 7},
                                     {IDS_AUTOCAD_R10, IDS_FILTER_DXF, 9},
                                     {IDS_AUTOCAD_R11_13, IDS_FILTER_DXF, 9},
                                     {IDS_ZELO_DRAWING, IDS_FILTER_QVM, 13}};
const FileTypeEntry kOpenRows[] = {{IDS_ZELO_DRAWING, IDS_FILTER_QVM, 13}, {IDS_3D_STUDIO, IDS_FILTER_3DS, 16},
                                   {IDS_3D_STUDIO, IDS_FILTER_ASC, 7},     {IDS_AUTOCAD_40049, IDS_FILTER_DWG, 27},
                                   {IDS_AUTOCAD, IDS_FILTER_DXF, 9},       {IDS_SENSE8, IDS_FILTER_NFF, 8}};
const FileTypeEntry kTextRows[] = {{IDS_ZELO_BLOCK, IDS_FILTER_MCR, 19}, {IDS_TEXT_FILE, IDS_FILTER_TXT, 25}};
const FileTypeEntry kSaveRows[] = {{IDS_ZELO_DRAWING, IDS_FILTER_QVM, 13},
                                   {IDS_ZELO_BLOCK, IDS_FILTER_MCR, 19},
                                   {IDS_TARGA_BITMAP, IDS_FILTER_TGA, 12},
                                   {IDS_TEXT_FILE, IDS_FILTER_TXT, 25}};
const FileTypeEntry kImageRows[] = {{IDS_WINDOWS_BITMAP, IDS_FILTER_BMP, 4},
                                    {IDS_COMPUSERVE_BITMAP, IDS_FILTER_GIF, 6},
                                    {IDS_JPEG_JFIF_COMPLIANT, IDS_FILTER_JPG, 10},
                                    {IDS_JPEG_JFIF_COMPLIANT, IDS_FILTER_JIF, 11},
                                    {IDS_TARGA_BITMAP, IDS_FILTER_TGA, 12},
                                    {IDS_ANIMATOR_PRO, IDS_FILTER_CEL, 17},
                                    {IDS_ANIMATOR, IDS_FILTER_PIC, 18},
                                    {IDS_ANIMATOR_PRO, IDS_FILTER_FLC, 21}};
const FileTypeEntry kMovieRows[] = {{IDS_ANIMATOR_PRO, IDS_FILTER_FLC, 21},
                                    {IDS_VIDEO_FOR_WINDOWS, IDS_FILTER_AVI, 26},
                                    {IDS_MPEG, IDS_FILTER_MPG, 23},
                                    {IDS_TARGA_BITMAP, IDS_FILTER_TGA, 12},
                                    {IDS_JPEG_JFIF_COMPLIANT, IDS_FILTER_JPG, 10},
                                    {IDS_COMPUSERVE_BITMAP, IDS_FILTER_GIF, 6},
                                    {IDS_WINDOWS_BITMAP, IDS_FILTER_BMP, 4}};

bool same_nocase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

bool finite_positive(double v) { return std::isfinite(v) && v > 0; }

}  // namespace

const FileTypeTable kExportTypes{kExportRows, 14};
const FileTypeTable kOpenTypes{kOpenRows, 6};
const FileTypeTable kTextTypes{kTextRows, 2};
const FileTypeTable kSaveTypes{kSaveRows, 4};
const FileTypeTable kImageTypes{kImageRows, 8};
const FileTypeTable kMovieTypes{kMovieRows, 7};

std::string file_type_pattern(const FileTypeEntry& row) { return res_load_string(row.pattern_id); }

std::string file_type_extension(const FileTypeEntry& row) {
    const std::string p = file_type_pattern(row);
    return p.size() > 1 && p[0] == '*' ? p.substr(1) : p;
}

std::string file_type_kind(const FileTypeEntry& row, const std::string& key) {
    const std::string p = file_type_pattern(row);
    return (p.size() > 2 ? p.substr(2) : std::string()) + key;
}

std::string file_type_filter(const FileTypeTable& table) {
    std::string f;
    for (int i = 0; i < table.count; ++i) {
        const std::string pattern = file_type_pattern(table.rows[i]);
        f += res_load_string(table.rows[i].description_id) + " (" + pattern + ")|" + pattern + "|";
    }
    return f + "|";
}

int file_type_preselect(const FileTypeTable& table, uint32_t preferred, uint32_t fallback) {
    for (int i = 0; i < table.count; ++i)
        if (table.rows[i].type == preferred) return i;
    for (int i = 0; i < table.count; ++i)
        if (table.rows[i].type == fallback) return i;
    return 0;
}

std::string path_extension(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
    return path.substr(dot);
}

int file_type_match(const FileTypeTable& table, const std::string& path) {
    const std::string ext = path_extension(path);
    if (ext.empty()) return -1;
    for (int i = 0; i < table.count; ++i)
        if (same_nocase(file_type_extension(table.rows[i]), ext)) return i;
    return -1;
}

FinalName file_type_final_name(const FileTypeTable& table, int selected_row, std::string* path, int* row) {
    *row = -1;
    if (path_extension(*path).size() < 4 && selected_row >= 0 && selected_row < table.count)
        *path += file_type_extension(table.rows[selected_row]);
    if (path->size() > kMaxPathLength) return FinalName::too_long;
    *row = file_type_match(table, *path);
    return *row < 0 ? FinalName::unknown_extension : FinalName::ok;
}

ExportOptions::Fields ExportOptions::fields() const {
    if (resolution <= 0 || resolution > 8) return {width, height, 1.0, 1.0};
    const double dpi = kExportResolutions[resolution];
    const double w = visible ? visible_w : extent_w, h = visible ? visible_h : extent_h;
    const double k = dpi / scale2 * scale1 / 25.4;
    auto side = [](double v) {
        return v >= 2147483647.0 ? 2147483647 : v <= 0 || !std::isfinite(v) ? 0 : static_cast<int>(v);
    };
    return {side(k * w), side(k * h), scale1, scale2};
}

ExportOptions::Enabled ExportOptions::enabled() const {
    const bool raster = row >= 0 && row < kExportRasterRows;
    const bool dxf = row >= 0 && row < kExportTypes.count && kExportTypes.rows[row].type == 9;
    return {dxf, raster, raster && resolution == 0, raster && resolution != 0};
}

int ExportOptions::take(const Fields& f, int new_resolution) {
    if (resolution == 0) {
        if (f.size_w < 2 || f.size_w > 4096) return 1;
        if (f.size_h < 2 || f.size_h > 4096) return 2;
        width = f.size_w;
        height = f.size_h;
    } else {
        if (!finite_positive(f.scale1)) return 3;
        if (!finite_positive(f.scale2)) return 4;
        scale1 = f.scale1;
        scale2 = f.scale2;
    }
    resolution = new_resolution >= 0 && new_resolution <= 8 ? new_resolution : 0;
    return 0;
}

void ExportOptions::set_extents(double w, double h) {
    if (!finite_positive(w) || !finite_positive(h)) w = h = 1;
    extent_w = w, extent_h = h;
}

void ExportOptions::set_visible(double w, double h) {
    if (!finite_positive(w) || !finite_positive(h)) w = h = 1;
    visible_w = w, visible_h = h;
}

void ExportOptions::fill(ExportRequest* r, const std::string& path, int dxf_version_before) const {
    const FileTypeEntry& e = kExportTypes.rows[row >= 0 && row < kExportTypes.count ? row : 0];
    r->type = static_cast<int32_t>(e.type);
    r->colour = colour;
    r->reserved = 0;
    r->visible_only = visible;
    r->dpi = kExportResolutions[resolution];
    r->scale = scale1 / scale2;
    r->name = path;
    const Fields f = fields();
    r->width = resolution == 0 ? width : f.size_w;
    r->height = resolution == 0 ? height : f.size_h;
    r->dxf_version = row == 11 ? 0 : row == 12 ? 1 : dxf_version_before;
    r->objects = (objects3d ? 1 : 0) + (objects2d ? 2 : 0);
}

void export_options_load(ExportOptions* o) {
    o->resolution = app_profile_get_int("Export", "resolution", 0);
    if (o->resolution < 0 || o->resolution > 8) o->resolution = 0;
    o->colour = app_profile_get_int("Export", "colour", 1) != 0;
    o->visible = app_profile_get_int("Export", "area", 1) != 0;
    // The check box "Export 3D objects" is kept under "2Dobj", "Export 2D objects"
    // under "3Dobj", as stored settings have it.
    o->objects3d = app_profile_get_int("Export", "2Dobj", 1) != 0;
    o->objects2d = app_profile_get_int("Export", "3Dobj", 1) != 0;
    o->scale1 = app_profile_get_double("Export", "scale1", 1.0);
    o->scale2 = app_profile_get_double("Export", "scale2", 1.0);
    if (!finite_positive(o->scale1)) o->scale1 = 1.0;
    if (!finite_positive(o->scale2)) o->scale2 = 1.0;
    o->width = app_profile_get_int("Export", "Width", 320);
    o->height = app_profile_get_int("Export", "Height", 240);
    if (o->width < 2 || o->width > 4096 || o->height < 2 || o->height > 4096) o->width = 320, o->height = 240;
}

void export_options_save(const ExportOptions& o, const ExportRequest& r) {
    app_profile_put_int("Export", "type", r.type);
    app_profile_put_int("Export", "area", o.visible);
    app_profile_put_int("Export", "colour", o.colour);
    app_profile_put_int("Export", "resolution", o.resolution);
    app_profile_put_double("Export", "scale1", o.scale1);
    app_profile_put_double("Export", "scale2", o.scale2);
    app_profile_put_int("Export", "Width", o.width);
    app_profile_put_int("Export", "Height", o.height);
    app_profile_put_int("Export", "DXF", r.dxf_version);
    app_profile_put_int("Export", "2Dobj", o.objects3d);
    app_profile_put_int("Export", "3Dobj", o.objects2d);
}
