// Checks of internal invariants: conditions that hold whatever the user does and
// whatever a file holds, such as a ring whose neighbours agree or a child whose
// parent link names the container that holds it. A broken one is a fault of this
// program. Never use a check for anything that a bad file, a user's action or a
// failed allocation can bring about: that is reported with a result code.
//
// The rule: checks are compiled in when the compiler instruments the build with
// AddressSanitizer (the sanitizer build of the tests, the fuzz build), which defines
// __SANITIZE_ADDRESS__ or reports the address_sanitizer feature; in every other
// build (the release build included) they compile to nothing and their arguments are
// not evaluated. A failed check prints the file, the line, the condition and the
// values given with it to stderr and aborts.
//
//     ZELO_CHECK(item->prev->next == item, "item %p, item->prev->next %p",
//                static_cast<void*>(item), static_cast<void*>(item->prev->next));
#pragma once

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#if defined(__SANITIZE_ADDRESS__)
#define ZELO_CHECKS_ON 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZELO_CHECKS_ON 1
#endif
#endif
#ifndef ZELO_CHECKS_ON
#define ZELO_CHECKS_ON 0
#endif

[[noreturn]] inline void zelo_check_failed(const char* file, int line, const char* condition, const char* format, ...)
    __attribute__((format(printf, 4, 5)));
[[noreturn]] inline void zelo_check_failed(const char* file, int line, const char* condition, const char* format, ...) {
    std::fprintf(stderr, "%s:%d: check failed: %s: ", file, line, condition);
    va_list values;
    va_start(values, format);
    std::vfprintf(stderr, format, values);
    va_end(values);
    std::fputc('\n', stderr);
    std::fflush(stderr);
    std::abort();
}

// `format` and the values after it describe what broke, printf-style.
#define ZELO_CHECK(condition, ...)                                                   \
    do {                                                                             \
        if (ZELO_CHECKS_ON && !(condition))                                          \
            zelo_check_failed(__FILE__, __LINE__, #condition, __VA_ARGS__);          \
    } while (0)
