// Finding TrueType faces through fontconfig: the face of a font record, and the list
// of TrueType families with their styles. One configuration of our own, loaded on
// first use and destroyed at exit, so nothing of fontconfig outlives the program.
#include <fontconfig/fontconfig.h>

#include <cstring>
#include <map>
#include <set>

#include "model/font_outline/glyph_outline.h"

namespace {

struct Config {
    FcConfig* config = FcInitLoadConfigAndFonts();
    ~Config() {
        if (config) FcConfigDestroy(config);
    }
};

FcConfig* config() {
    static Config c;
    return c.config;
}

bool is_truetype(FcPattern* p) {
    FcChar8* format = nullptr;
    return FcPatternGetString(p, FC_FONTFORMAT, 0, &format) == FcResultMatch && format &&
           std::strcmp(reinterpret_cast<const char*>(format), "TrueType") == 0;
}

}  // namespace

int fontconfig_weight(int css) {
    if (css <= 150) return FC_WEIGHT_THIN;
    if (css <= 250) return FC_WEIGHT_EXTRALIGHT;
    if (css <= 350) return FC_WEIGHT_LIGHT;
    if (css <= 450) return FC_WEIGHT_REGULAR;
    if (css <= 550) return FC_WEIGHT_MEDIUM;
    if (css <= 650) return FC_WEIGHT_DEMIBOLD;
    if (css <= 750) return FC_WEIGHT_BOLD;
    if (css <= 850) return FC_WEIGHT_EXTRABOLD;
    return FC_WEIGHT_BLACK;
}

bool text_font_resolve(TextFontRecord* font) {
    font->file.clear();
    font->index = 0;
    FcConfig* cfg = config();
    if (!cfg) return false;
    FcPattern* pat = FcPatternCreate();
    if (!pat) return false;
    const char* family = font->family.empty() ? "sans-serif" : font->family.c_str();
    FcPatternAddString(pat, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
    if (!font->style.empty()) FcPatternAddString(pat, FC_STYLE, reinterpret_cast<const FcChar8*>(font->style.c_str()));
    FcPatternAddInteger(pat, FC_WEIGHT, fontconfig_weight(font->weight));
    FcPatternAddInteger(pat, FC_SLANT, font->italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pat, FC_SCALABLE, FcTrue);
    FcPatternAddString(pat, FC_FONTFORMAT, reinterpret_cast<const FcChar8*>("TrueType"));
    FcConfigSubstitute(cfg, pat, FcMatchPattern);
    FcDefaultSubstitute(pat);
    FcResult result = FcResultNoMatch;
    FcFontSet* set = FcFontSort(cfg, pat, FcFalse, nullptr, &result);
    FcPatternDestroy(pat);
    if (!set) return false;
    for (int i = 0; i < set->nfont && font->file.empty(); ++i) {
        FcChar8* file = nullptr;
        FcChar8* fam = nullptr;
        int index = 0;
        if (!is_truetype(set->fonts[i])) continue;
        if (FcPatternGetString(set->fonts[i], FC_FILE, 0, &file) != FcResultMatch || !file) continue;
        if (FcPatternGetInteger(set->fonts[i], FC_INDEX, 0, &index) != FcResultMatch) index = 0;
        font->file = reinterpret_cast<const char*>(file);
        font->index = index;
        // The default face is named by what was found.
        if (font->family.empty() && FcPatternGetString(set->fonts[i], FC_FAMILY, 0, &fam) == FcResultMatch && fam)
            font->family = reinterpret_cast<const char*>(fam);
    }
    FcFontSetDestroy(set);
    return !font->file.empty();
}

std::vector<TextFontFamily> text_font_families() {
    std::map<std::string, std::set<std::string>> found;
    FcConfig* cfg = config();
    FcPattern* pat = cfg ? FcPatternCreate() : nullptr;
    FcObjectSet* os = pat ? FcObjectSetBuild(FC_FAMILY, FC_STYLE, FC_FONTFORMAT, nullptr) : nullptr;
    FcFontSet* set = os ? FcFontList(cfg, pat, os) : nullptr;
    for (int i = 0; set && i < set->nfont; ++i) {
        FcChar8 *family = nullptr, *style = nullptr;
        if (!is_truetype(set->fonts[i])) continue;
        if (FcPatternGetString(set->fonts[i], FC_FAMILY, 0, &family) != FcResultMatch || !family) continue;
        std::set<std::string>& styles = found[reinterpret_cast<const char*>(family)];
        if (FcPatternGetString(set->fonts[i], FC_STYLE, 0, &style) == FcResultMatch && style)
            styles.insert(reinterpret_cast<const char*>(style));
    }
    if (set) FcFontSetDestroy(set);
    if (os) FcObjectSetDestroy(os);
    if (pat) FcPatternDestroy(pat);
    std::vector<TextFontFamily> out;
    for (auto& f : found) out.push_back({f.first, std::vector<std::string>(f.second.begin(), f.second.end())});
    return out;
}
