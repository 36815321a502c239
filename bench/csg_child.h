// One boolean operation in a child process with a time limit, for the benchmark
// programs: an operation that does not end is killed and reported as such, and
// the parent goes on. The child hands back the engine's code, its CPU time, the
// result's shape as the independent check sees it and, given the figures the result
// should have, the check's verdict.
#pragma once

#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "commands/boolean/csg.h"
#include "tests/boolean/solid_check.h"

struct CsgChildOutcome {
    int code = 0;
    int has_mesh = 0;
    double volume = 0;  // signed, positive pointing outward
    int unmatched = 0, unmatched_within = 0, no_area = 0;
    double triangles = 0;
    double cpu = 0;  // seconds
    solidcheck::Verdict verdict = solidcheck::Verdict::refused;  // when figures were given
};

inline double process_cpu_seconds() {
    rusage u;
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + 1e-6 * double(u.ru_utime.tv_usec + u.ru_stime.tv_usec);
}

// a `op` b in a child; false when it did not end within `limit` seconds (the child is
// killed) or died. With `expect`, the result is judged as operation `judged_as` (0 to 3,
// solidcheck's numbering) allowing `slack` of volume.
inline bool csg_in_child(const MESH3* a, const MESH3* b, int op, double limit, CsgChildOutcome* out,
                         const solidcheck::Expected* expect = nullptr, int judged_as = 0, double slack = 0) {
    int fd[2];
    if (pipe(fd) != 0) return false;
    const pid_t pid = fork();
    if (pid == 0) {
        close(fd[0]);
        CsgChildOutcome o;
        CsgStatus st;
        const double t0 = process_cpu_seconds();
        auto r = csg_boolean(a, b, op, &st);
        o.cpu = process_cpu_seconds() - t0;
        o.code = st.code;
        o.has_mesh = r != nullptr;
        if (r) {
            const solidcheck::Shape s = solidcheck::shape_of(solidcheck::soup_of(r.get()));
            o.volume = s.volume, o.unmatched = s.unmatched, o.unmatched_within = s.unmatched_within;
            o.no_area = s.no_area, o.triangles = double(s.triangles);
        }
        if (expect) o.verdict = solidcheck::judge_call(r.get(), st.code, *expect, judged_as, slack).verdict;
        if (write(fd[1], &o, sizeof o) != ssize_t(sizeof o)) _exit(2);
        _exit(0);
    }
    close(fd[1]);
    pollfd p{fd[0], POLLIN, 0};
    const int ready = poll(&p, 1, int(limit * 1000));
    bool ok = false;
    if (ready == 1) ok = read(fd[0], out, sizeof *out) == ssize_t(sizeof *out);
    if (!ok) kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    close(fd[0]);
    return ok;
}
