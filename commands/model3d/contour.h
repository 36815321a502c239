// Contour triangulation of the 3D text and flat-polygon commands. For now only
// the module's start-up hook.
#pragma once

// Marks the contour module started; the application calls it once at start-up.
void contour_init();
// Whether contour_init has run.
bool contour_initialised();
