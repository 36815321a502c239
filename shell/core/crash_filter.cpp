// SIGSEGV/SIGBUS handler: a short text on stderr, then the default action.
#include "shell/core/crash_filter.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

#include "model/services/strtab.h"
#include "resources/string_ids.h"

namespace {

// Prepared before any crash: the handler may only call async-signal-safe functions.
char g_text[512];
size_t g_text_len = 0;

void on_fault(int sig) {
    ssize_t ignored = write(STDERR_FILENO, g_text, g_text_len);
    (void)ignored;
    // The handler was installed with SA_RESETHAND: the signal now has its default
    // action. A fault re-executes the access and ends the process; a raised signal
    // is raised again and delivered when the handler returns.
    raise(sig);
}

}  // namespace

int crash_filter_install() {
    std::string text = res_load_string(IDS_ERROR) + ": " + res_load_string(IDS_POTENTIAL_PROBLEM) + "\n";
    g_text_len = std::min(text.size(), sizeof g_text);
    std::memcpy(g_text, text.data(), g_text_len);

    static char* alt_stack = nullptr;
    if (!alt_stack) {
        size_t size = std::max<size_t>(SIGSTKSZ, 65536);
        alt_stack = static_cast<char*>(std::malloc(size));
        if (alt_stack) {
            stack_t ss{};
            ss.ss_sp = alt_stack;
            ss.ss_size = size;
            sigaltstack(&ss, nullptr);
        }
    }
    struct sigaction sa{};
    sa.sa_handler = on_fault;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESETHAND | SA_ONSTACK;
    for (int sig : {SIGSEGV, SIGBUS})
        if (sigaction(sig, &sa, nullptr) != 0) return errno;
    return 0;
}
