// The warning beep of the engine (the classic exclamation sound, kind 48), sounded
// through a hook the application installs; without one nothing sounds. Tests install
// their own to count beeps. User-interface thread only.
#pragma once

inline constexpr int kBeepExclamation = 48;

using BeepHook = void (*)(int kind);
// Installs the hook (null: silence); returns the previous one.
BeepHook beep_set_hook(BeepHook hook);
void beep_sound(int kind);
