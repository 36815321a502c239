// Contour triangulation: the module's start-up flag.
#include "commands/model3d/contour.h"

namespace {
bool g_initialised = false;
}

void contour_init() {
    g_initialised = true;
}
bool contour_initialised() {
    return g_initialised;
}
