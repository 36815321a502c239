// The engine's beep through an installed hook.
#include "model/services/beep.h"

namespace {
BeepHook g_hook = nullptr;
}

BeepHook beep_set_hook(BeepHook hook) {
    BeepHook old = g_hook;
    g_hook = hook;
    return old;
}

void beep_sound(int kind) {
    if (g_hook) g_hook(kind);
}
