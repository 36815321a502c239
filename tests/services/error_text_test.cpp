// The words a failure message gives after its code; 13 for a file this process may
// not read or write is told apart from 13 for bad data.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "model/services/error_text.h"

TEST(ErrorText, CodesGetTheirReasonAndThirteenFollowsTheFile) {
    char tmpl[] = "/tmp/zelo_error_text_XXXXXX";
    const std::string dir = mkdtemp(tmpl);
    const std::string locked = dir + "/locked", bad = dir + "/bad.qvm",
                      secret = dir + "/secret.qvm", shut_in = locked + "/mine.qvm";
    mkdir(locked.c_str(), 0755);
    std::ofstream(bad) << "x";
    std::ofstream(secret) << "x";
    std::ofstream(shut_in) << "x";
    chmod(shut_in.c_str(), 0666);  // writable, but no temporary file can go beside it
    chmod(locked.c_str(), 0555);
    chmod(dir.c_str(), 0777);
    chmod(bad.c_str(), 0666);
    chmod(secret.c_str(), 0);
    // The superuser is refused nothing: the checks run as nobody then.
    const bool root = geteuid() == 0;
    ASSERT_TRUE(!root || setresuid(65534, 65534, 0) == 0);
    const struct {
        int code;
        std::string path;
        FileAccess access;
        std::string text;
    } cases[] = {
        {28, dir + "/d.qvm", FileAccess::write, "28: no space left on device"},
        {19, "/dev/zero", FileAccess::read, "19: not a regular file (a pipe, socket or device)"},
        {13, secret, FileAccess::read, "13: permission denied"},
        {13, locked + "/d.qvm", FileAccess::write, "13: permission denied"},
        {13, shut_in, FileAccess::write, "13: permission denied"},
        {13, bad, FileAccess::read, "13: bad data"},
        {13, bad, FileAccess::write, "13: bad data"},
        {13, "", FileAccess::read, "13"},
        {155, bad, FileAccess::read, "155"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(error_code_text(c.code, c.path.c_str(), c.access), c.text) << c.path;
    ASSERT_TRUE(!root || setresuid(0, 0, 0) == 0);
    (void)std::system(("rm -rf " + dir).c_str());
}
