// The crash filter: on an invalid memory access (SIGSEGV, SIGBUS) the program writes
// "ERROR: A potential problem has been detected..." (strings 42170 and 42181) to
// standard error and ends by the same signal, so the system still sees the crash
// (core dump, exit status). Other signals keep their own handling.
#pragma once

// Installs the handlers on an alternate signal stack (so a stack overflow is caught
// too). Call once at start-up, after the string table is available. Returns 0, or
// errno when a handler could not be installed.
[[nodiscard]] int crash_filter_install();
