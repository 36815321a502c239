// Start-up hooks between the drawing model and the windows: new layers and changed
// objects refresh the drawing views before the previous hooks run.
#pragma once

// Chains the model's add-layer and object-changed hooks (once; later calls do
// nothing).
void model_hooks_install();
