// The dimension style settings and their section of the settings file.
#include "commands/dimension/dim_settings.h"

#include "model/services/profile.h"

namespace {

constexpr const char* kSection = "dimension";

int g_text_mode = 0;
int g_arrows = 0;
int g_leader = 0;
int g_lframe = 0;
int g_dframe = 0;

void set_below(int* setting, int value, int bound) {
    if (value < bound) *setting = value;
}

}  // namespace

int dim_get_text_mode() {
    return g_text_mode;
}
int dim_get_arrows() {
    return g_arrows;
}
int dim_get_leader() {
    return g_leader;
}
int dim_get_lframe() {
    return g_lframe;
}
int dim_get_dframe() {
    return g_dframe;
}

void dim_set_text_mode(int value) {
    set_below(&g_text_mode, value, 2);
}
void dim_set_arrows(int value) {
    set_below(&g_arrows, value, 5);
}
void dim_set_leader(int value) {
    set_below(&g_leader, value, 5);
}
void dim_set_lframe(int value) {
    set_below(&g_lframe, value, 4);
}
void dim_set_dframe(int value) {
    set_below(&g_dframe, value, 4);
}

void dim_prefs_io(int load) {
    SettingsBatch batch;
    struct {
        const char* key;
        int* value;
    } rows[] = {{"text", &g_text_mode},
                {"arrows", &g_arrows},
                {"leader", &g_leader},
                {"lframe", &g_lframe},
                {"dframe", &g_dframe}};
    for (auto& r : rows) *r.value = pref_int(load, kSection, r.key, *r.value, *r.value);
}

void dim_prefs_load() {
    dim_prefs_io(1);
}
void dim_prefs_save() {
    dim_prefs_io(0);
}
