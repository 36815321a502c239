// The crash filter: a child process that touches an unmapped page prints the error
// text on stderr and still dies by SIGSEGV.
#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include "shell/core/crash_filter.h"

namespace {

// Runs `body` in a child with its stderr captured; returns the wait status.
int run_child(void (*body)(), std::string* err) {
    int fds[2];
    if (pipe(fds) != 0) return -1;
    pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        dup2(fds[1], STDERR_FILENO);
        body();
        _exit(0);
    }
    close(fds[1]);
    char buf[512];
    ssize_t n;
    while ((n = read(fds[0], buf, sizeof buf)) > 0) err->append(buf, size_t(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return status;
}

void touch_unmapped_page() {
    if (crash_filter_install() != 0) _exit(3);
    void* page = mmap(nullptr, 4096, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    *static_cast<volatile int*>(page) = 1;
}

void bus_error_raised() {
    if (crash_filter_install() != 0) _exit(3);
    raise(SIGBUS);
}

void no_crash() {
    if (crash_filter_install() != 0) _exit(3);
}

}  // namespace

TEST(CrashFilter, FaultPrintsTheTextAndDiesBySigsegv) {
    std::string err;
    int status = run_child(touch_unmapped_page, &err);
    ASSERT_TRUE(WIFSIGNALED(status)) << "status " << status << " stderr " << err;
    EXPECT_EQ(WTERMSIG(status), SIGSEGV);
    EXPECT_NE(err.find("ERROR: A potential problem has been detected..."), std::string::npos) << err;
}

TEST(CrashFilter, BusErrorLikewiseAndQuietOtherwise) {
    std::string err;
    int status = run_child(bus_error_raised, &err);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGBUS);
    EXPECT_NE(err.find("A potential problem"), std::string::npos);

    err.clear();
    status = run_child(no_crash, &err);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(err, "");
}
