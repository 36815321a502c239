// Failing writes: the old file stays byte for byte, no temporary file is left, and
// the error comes back.
#include <gtest/gtest.h>

#include <dirent.h>
#include <signal.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <thread>
#include <cstring>
#include <string>

#include "../imaging/image_test_support.h"
#include "imaging/formats/replace_file.h"
#include "imaging/movie/avi_writer.h"
#include "imaging/movie/flic_writer.h"
#include "imaging/movie/mpeg_writer.h"
#include "movie_support.h"

namespace {

enum class Kind { AviDib, AviMjpeg, Flic, Mpeg };
constexpr int kW = 64, kH = 48, kFrames = 6;

// The source's answer at frame `at`: -1 a stop, else an error.
struct SourceEnd {
    int at = -1, code = -1;
};

int mpeg_source(int frame, int, uint8_t* rgb, void* end) {
    const auto* e = static_cast<SourceEnd*>(end);
    if (frame == e->at) return e->code;
    const std::vector<uint8_t> f = movie_frame(kW, kH, frame, true);
    std::memcpy(rgb, f.data(), f.size());
    return 0;
}

// Writes a movie of the kind; the first nonzero result.
int write_movie(Kind kind, const std::string& path, int stop_at = -1, int stop_code = -1) {
    switch (kind) {
        case Kind::AviDib:
        case Kind::AviMjpeg: {
            AviWriter avi;
            AviOptions o;
            o.codec = kind == Kind::AviDib ? AviCodec::Dib : AviCodec::Mjpeg;
            if (int err = avi.open(path.c_str(), kW, kH, o)) return err;
            for (int f = 0; f < kFrames; ++f)
                if (int err = avi.add_frame(movie_frame(kW, kH, f, true).data())) return err;
            return avi.close();
        }
        case Kind::Flic: {
            int err = 0;
            FlicWriter* w = flic_open(path.c_str(), kFrames, 15, kW, kH, &err);
            for (int f = 0; w && f < kFrames; ++f)
                if ((err = flic_add_frame(w, movie_frame(kW, kH, f, true).data())) != 0) break;
            EXPECT_EQ(w, nullptr);
            return err;
        }
        case Kind::Mpeg: {
            MpegParams p;
            p.frame_count = kFrames, p.width = kW, p.height = kH;
            std::snprintf(p.output, sizeof p.output, "%s", path.c_str());
            std::strcpy(p.pattern, "IPPP");
            mpeg_set_frame_source(mpeg_source);
            if (int err = mpeg_setup(p)) return err;
            SourceEnd end{stop_at, stop_code};
            return mpeg_encode(&end);
        }
    }
    return -1;
}

const char* kind_name(Kind k) {
    return k == Kind::AviDib ? "avi" : k == Kind::AviMjpeg ? "mjpeg" : k == Kind::Flic ? "flc" : "mpg";
}

int files_in(const std::string& dir) {
    int n = 0;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d)) n += e->d_name[0] != '.';
        closedir(d);
    }
    return n;
}

struct Fresh {
    std::string dir, path;
    std::vector<uint8_t> old{'o', 'l', 'd', '\n'};
    explicit Fresh(const std::string& name) {
        static int counter = 0;
        dir = temp_dir() + "/f" + std::to_string(++counter);
        mkdir(dir.c_str(), 0755);
        path = dir + "/" + name;
        put_file(path, old);
    }
    void expect_old_kept() {
        EXPECT_EQ(file_bytes(path), old);
        EXPECT_EQ(files_in(dir), 1) << "a temporary file was left";
    }
};

const Kind kKinds[] = {Kind::AviDib, Kind::AviMjpeg, Kind::Flic, Kind::Mpeg};

TEST(MovieFailure, InjectedDiskFullKeepsTheOldFile) {
    for (Kind k : kKinds) {
        Fresh whole(std::string("w.") + kind_name(k));
        ASSERT_EQ(write_movie(k, whole.path), 0);
        const int64_t size = static_cast<int64_t>(file_bytes(whole.path).size());
        for (int64_t after : {int64_t(0), int64_t(100), size / 2, size - 1}) {
            SCOPED_TRACE(std::string(kind_name(k)) + " after " + std::to_string(after));
            Fresh f(std::string("m.") + kind_name(k));
            replace_file_test_fail_after(after, ENOSPC);
            EXPECT_EQ(write_movie(k, f.path), ENOSPC);
            replace_file_test_fail_after(-1, 0);
            f.expect_old_kept();
        }
    }
}

TEST(MovieFailure, FileSizeLimitInAChildKeepsTheOldFile) {
    for (Kind k : kKinds) {
        SCOPED_TRACE(kind_name(k));
        Fresh whole(std::string("w.") + kind_name(k));
        ASSERT_EQ(write_movie(k, whole.path), 0);
        const rlim_t limit = file_bytes(whole.path).size() / 2;
        Fresh f(std::string("m.") + kind_name(k));
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            signal(SIGXFSZ, SIG_IGN);
            rlimit r{limit, limit};
            setrlimit(RLIMIT_FSIZE, &r);
            _exit(write_movie(k, f.path) & 0xFF);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), EFBIG);
        f.expect_old_kept();
    }
}

TEST(MovieFailure, FolderThatCannotHoldTheFileIsReported) {
    for (Kind k : kKinds) {
        SCOPED_TRACE(kind_name(k));
        const std::string bad = "/nonexistent-folder/m." + std::string(kind_name(k));
        const int err = write_movie(k, bad);
        EXPECT_EQ(err, k == Kind::Mpeg ? kMpegOpenFailed : ENOENT);
        // A path through a regular file.
        Fresh f(std::string("plain.") + kind_name(k));
        EXPECT_NE(write_movie(k, f.path + "/m.avi"), 0);
        f.expect_old_kept();
    }
}

// A stop after the first frame finishes a shorter movie; a stop before any frame or
// a failing source keeps the old file.
TEST(MovieFailure, StoppedMpegSourceFinishesTheMovieOrKeepsTheOldFile) {
    struct Case {
        int at, code;
        bool written;
    } cases[] = {{3, -1, true}, {0, -1, false}, {3, 5, false}};
    for (const Case& c : cases) {
        Fresh f("m.mpg");
        EXPECT_EQ(write_movie(Kind::Mpeg, f.path, c.at, c.code), c.code) << c.at << " " << c.code;
        if (!c.written) {
            f.expect_old_kept();
            continue;
        }
        EXPECT_EQ(files_in(f.dir), 1) << "a temporary file was left";
        EXPECT_NE(file_bytes(f.path), f.old);
        if (have_ffmpeg()) {
            EXPECT_EQ(probe(f.path, "nb_read_frames"), "6");  // three frames, each coded twice
        }
    }
}

TEST(MovieFailure, AviWithoutFramesKeepsTheOldFile) {
    Fresh f("m.avi");
    AviWriter avi;
    ASSERT_EQ(avi.open(f.path.c_str(), 8, 8, AviOptions{}), 0);
    EXPECT_EQ(avi.close(), kMovieRefused);
    f.expect_old_kept();
}

}  // namespace

// Every umask() call of this program is counted: setting the mask and putting it back
// would, for that moment, give files that other threads create the wrong mode.
std::atomic<int> g_umask_calls{0};
extern "C" mode_t umask(mode_t mask) noexcept {
    ++g_umask_calls;
    return static_cast<mode_t>(syscall(SYS_umask, mask));
}

namespace {

// Files replaced on a worker thread get 0666 less the mode mask, which the worker
// reads without ever changing it.
TEST(ReplaceFileMode, WorkerLeavesTheModeMaskAlone) {
    const std::string dir = temp_dir() + "/replace_mode";
    ASSERT_TRUE(mkdir(dir.c_str(), 0755) == 0 || errno == EEXIST);
    const mode_t mask = umask(0);
    umask(mask);
    g_umask_calls = 0;
    std::thread worker([&] {
        for (int i = 0; i < 20; ++i) {
            ReplaceFile f;
            if (f.open((dir + "/worker.bin").c_str()) == 0) {
                (void)f.write("x", 1);  // a failed write is answered again by commit
                EXPECT_EQ(f.commit(), 0);
            }
        }
    });
    worker.join();
    EXPECT_EQ(g_umask_calls, 0);
    struct stat st {};
    ASSERT_EQ(stat((dir + "/worker.bin").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask);
}

}  // namespace
