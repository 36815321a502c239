// Finding a TrueType face for a font record through fontconfig.
#include <fontconfig/fontconfig.h>

#include <cstring>

#include "model/font_outline/glyph_outline.h"

namespace {

int fc_weight(int css) {
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

}  // namespace

bool text_font_resolve(TextFontRecord* font) {
    font->file.clear();
    font->index = 0;
    if (!FcInit()) return false;
    FcPattern* pat = FcPatternCreate();
    if (!pat) return false;
    const char* family = font->family.empty() ? "sans-serif" : font->family.c_str();
    FcPatternAddString(pat, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
    if (!font->style.empty()) FcPatternAddString(pat, FC_STYLE, reinterpret_cast<const FcChar8*>(font->style.c_str()));
    FcPatternAddInteger(pat, FC_WEIGHT, fc_weight(font->weight));
    FcPatternAddInteger(pat, FC_SLANT, font->italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pat, FC_SCALABLE, FcTrue);
    FcPatternAddString(pat, FC_FONTFORMAT, reinterpret_cast<const FcChar8*>("TrueType"));
    FcConfigSubstitute(nullptr, pat, FcMatchPattern);
    FcDefaultSubstitute(pat);
    FcResult result = FcResultNoMatch;
    FcFontSet* set = FcFontSort(nullptr, pat, FcFalse, nullptr, &result);
    FcPatternDestroy(pat);
    if (!set) return false;
    for (int i = 0; i < set->nfont && font->file.empty(); ++i) {
        FcChar8* format = nullptr;
        FcChar8* file = nullptr;
        int index = 0;
        if (FcPatternGetString(set->fonts[i], FC_FONTFORMAT, 0, &format) != FcResultMatch || !format ||
            std::strcmp(reinterpret_cast<const char*>(format), "TrueType") != 0)
            continue;
        if (FcPatternGetString(set->fonts[i], FC_FILE, 0, &file) != FcResultMatch || !file) continue;
        if (FcPatternGetInteger(set->fonts[i], FC_INDEX, 0, &index) != FcResultMatch) index = 0;
        font->file = reinterpret_cast<const char*>(file);
        font->index = index;
    }
    FcFontSetDestroy(set);
    return !font->file.empty();
}
