// The window-free rules of the file dialogs: the file-type tables, the filter text,
// the preselected row, the final name and the row its extension matches, and the
// export options (fields, enabling, the request handed to the exporter).
#pragma once

#include <cstdint>
#include <string>

// One row of a file-type table: description string id, pattern string id (such as
// "*.tga"), file type code.
struct FileTypeEntry {
    uint32_t description_id;
    uint32_t pattern_id;
    uint32_t type;
};

struct FileTypeTable {
    const FileTypeEntry* rows;
    int count;
};

// The tables. Rows 0 to 7 of the export table are raster images.
extern const FileTypeTable kExportTypes;   // 14 rows
extern const FileTypeTable kOpenTypes;     // 6 rows; import uses rows 1 to 5
extern const FileTypeTable kTextTypes;     // 2 rows, one used at a time
extern const FileTypeTable kSaveTypes;     // 4 rows, one used at a time
extern const FileTypeTable kImageTypes;    // 8 rows; saving uses the first 5
extern const FileTypeTable kMovieTypes;    // 7 rows
inline constexpr int kExportRasterRows = 8;

// The pattern of a row ("*.tga") and its extension with the dot (".tga").
std::string file_type_pattern(const FileTypeEntry& row);
std::string file_type_extension(const FileTypeEntry& row);
// The folder-memory kind of a row: the pattern without "*." followed by the dialog
// key ("tga" + "Img" = "tgaImg").
std::string file_type_kind(const FileTypeEntry& row, const std::string& key);
// The filter text: "<description> (<pattern>)|<pattern>|" per row, then "|".
std::string file_type_filter(const FileTypeTable& table);
// The first row of the preferred type, else of the fallback type, else 0.
int file_type_preselect(const FileTypeTable& table, uint32_t preferred, uint32_t fallback);
// The row (one of `table`) whose extension equals the path's, without regard to
// case; -1 when none.
int file_type_match(const FileTypeTable& table, const std::string& path);

// The longest path a dialog accepts (bytes, without the terminator).
inline constexpr size_t kMaxPathLength = 4095;

enum class FinalName { ok, unknown_extension, too_long };
// Completes the chosen path: when its extension (with the dot) is shorter than 4
// characters, the selected row's extension is appended ("view" and "view.tg" with the
// Targa row give "view.tga" and "view.tg.tga"); the path is never cut. Then the
// matching row is found. *row gets the row (-1 when none).
FinalName file_type_final_name(const FileTypeTable& table, int selected_row, std::string* path,
                               int* row);
// The extension of a path's file name with its dot ("" when none).
std::string path_extension(const std::string& path);

// Resolution table of the export options (dots per inch; index 0 is "By screen").
inline constexpr int kExportResolutions[9] = {0, 72, 100, 144, 200, 300, 400, 600, 1200};

// The export request handed to the exporter.
struct ExportRequest {
    int32_t type = 0;
    int32_t colour = 1;
    int32_t reserved = 0;
    int32_t visible_only = 1;
    double dpi = 0;
    double scale = 1.0;  // scale1 / scale2
    std::string name;
    int32_t width = 256, height = 256;
    int32_t dxf_version = 0;
    int32_t objects = 3;  // 1: 3D objects, 2: 2D objects
};

// The export options behind the dialog's panel.
struct ExportOptions {
    int resolution = 0;  // index into kExportResolutions
    int colour = 1, visible = 1;
    int objects2d = 1, objects3d = 1;
    int width = 256, height = 256;       // remembered pixel size (at "By screen")
    double scale1 = 1.0, scale2 = 1.0;   // remembered ratio
    double extent_w = 1, extent_h = 1;   // the drawing's extents, drawing units
    double visible_w = 1, visible_h = 1; // the visible area, drawing units
    int row = 0;                         // chosen row of the export table

    // What the panel shows.
    struct Fields {
        int size_w, size_h;
        double scale1, scale2;
    };
    Fields fields() const;
    // Which controls are enabled for the row and resolution.
    struct Enabled {
        bool objects, raster, size, scale;
    };
    Enabled enabled() const;
    // Takes the panel's fields. Sizes at "By screen" must lie in 2 to 4096 and scale
    // fields be finite and positive: otherwise nothing changes and the answer names
    // the bad field (1 width, 2 height, 3 scale1, 4 scale2); 0 when taken.
    int take(const Fields& f, int new_resolution);
    // Sets a side of the extents or visible area, not positive becoming 1.
    void set_extents(double w, double h);
    void set_visible(double w, double h);
    // Fills the request for the chosen row and path.
    void fill(ExportRequest* r, const std::string& path, int dxf_version_before) const;
};

// Settings of section "Export": read with every value range-checked (resolution
// outside 0 to 8 becomes 0; scales not finite or not positive become 1.0; sizes
// outside 2 to 4096 become 320 x 240), and written after OK.
void export_options_load(ExportOptions* o);
void export_options_save(const ExportOptions& o, const ExportRequest& r);
