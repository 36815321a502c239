// A save that fails part-way (full disk, unwritable folder) leaves the previous file
// as it was and says so.
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <filesystem>

#include "file_support.h"
#include "model/db/buffer.h"
#include "model/db/tree.h"
#include "model/db/wire.h"
#include "model/file/drawing_file.h"
#include "model/stream/iorec.h"
#include "rich_drawing.h"

namespace {

struct WriteLimit {
    explicit WriteLimit(int64_t bytes) { iorec_test_set_write_limit(bytes); }
    ~WriteLimit() { iorec_test_set_write_limit(-1); }
};

size_t files_in(const std::string& dir) {
    size_t n = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir)) n += e.is_regular_file() ? 1 : 0;
    return n;
}

}  // namespace

using SaveFailureTest = FileTest;

TEST_F(SaveFailureTest, FullDiskKeepsThePreviousFile) {
    auto model = new_model();
    ASSERT_EQ(build_rich_drawing(model.get()), 0);
    const std::string target = path("d.qvm");
    write_bytes(target, Bytes{'o', 'l', 'd'});
    for (int pack : {0, 1}) {
        for (int64_t limit : {0, 12, 100, 5000}) {
            SCOPED_TRACE(testing::Message() << "pack " << pack << " limit " << limit);
            WriteLimit full(limit);
            EXPECT_NE(drawing_file_save(target.c_str(), model.get(), pack), 0);
            EXPECT_EQ(read_bytes(target), (Bytes{'o', 'l', 'd'}));
            EXPECT_EQ(files_in(dir_), 1u);  // no temporary file left behind
        }
    }
    buffer* sel = buffer_new();
    EXPECT_EQ(buffer_add(sel, static_cast<ZOBJ*>(model->children)), 0);
    {
        WriteLimit full(40);
        EXPECT_NE(block_file_save(target.c_str(), "b", model.get(), 0, sel, Vec3{}), 0);
    }
    EXPECT_EQ(read_bytes(target), (Bytes{'o', 'l', 'd'}));
    buffer_free(&sel);
    // The disk fills up while the packed file is written, after the plain pass.
    for (int64_t limit : {0, 20, 200}) {
        iorec_test_set_write_limit(limit, 1);
        EXPECT_NE(drawing_file_save(target.c_str(), model.get(), 1), 0);
        iorec_test_set_write_limit(-1);
        EXPECT_EQ(read_bytes(target), (Bytes{'o', 'l', 'd'})) << limit;
        EXPECT_EQ(files_in(dir_), 1u) << limit;
    }
    // Without the limit the same save succeeds.
    EXPECT_EQ(drawing_file_save(target.c_str(), model.get(), 1), 0);
    EXPECT_GT(read_bytes(target).size(), 12u);
}

TEST_F(SaveFailureTest, UnwritableFolderKeepsThePreviousFile) {
    auto model = new_model();
    std::string target;
    Bytes before;
    const std::string sub = path("locked");
    if (geteuid() != 0) {
        std::filesystem::create_directory(sub);
        target = sub + "/d.qvm";
        write_bytes(target, Bytes{'o', 'l', 'd'});
        chmod(sub.c_str(), 0555);
    } else {
        // Folder permissions do not bind the superuser; a folder of the process file
        // system takes no new files from anyone.
        target = "/proc/version";
        if (!file_exists(target)) GTEST_SKIP() << "no folder the superuser cannot write";
    }
    before = read_bytes(target);
    ASSERT_FALSE(before.empty());
    for (int pack : {0, 1}) {
        SCOPED_TRACE(pack);
        EXPECT_NE(drawing_file_save(target.c_str(), model.get(), pack), 0);
        EXPECT_EQ(read_bytes(target), before);
    }
    if (geteuid() != 0) chmod(sub.c_str(), 0755);
}

TEST_F(SaveFailureTest, MissingFolderOrBadArgumentsFail) {
    auto model = new_model();
    EXPECT_NE(drawing_file_save(path("no/such/folder/d.qvm").c_str(), model.get(), 0), 0);
    EXPECT_NE(drawing_file_save("/proc/zelo_cannot_write_here.qvm", model.get(), 0),
              0);  // unwritable
    EXPECT_EQ(drawing_file_save("", model.get(), 0), kBadArgument);
    EXPECT_EQ(drawing_file_save(path("d.qvm").c_str(), nullptr, 0), kBadArgument);
    EXPECT_FALSE(file_exists(path("d.qvm")));
}

TEST_F(SaveFailureTest, FileSystemRefusingToGrowTheFileKeepsThePreviousFile) {
    // The file system itself refuses (the process's file size limit), with the
    // stream's window lent to the writers as in every real save: plain and packed,
    // refused at the first window handed on, at a later one, or at the commit.
    auto model = new_model();
    ASSERT_EQ(build_rich_drawing(model.get()), 0);
    auto* layer = static_cast<CONTAINER*>(model->children);
    for (int i = 0; i < 12000; ++i) {
        auto* x = rtc_make<XPLINE>().release();
        x->control = make_points({{0, 0, 0}, {float(i), 1, 0}, {2, float(i), 0}});
        ASSERT_EQ(container_insert(layer, x), 0);
    }
    Bytes whole;
    ASSERT_EQ(drawing_file_save_memory(&whole, model.get()), 0);
    ASSERT_GT(whole.size(), 3 * IOrecStd::kWriteWindow);
    const std::string target = path("d.qvm");
    write_bytes(target, Bytes{'o', 'l', 'd'});
    struct rlimit old_limit;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old_limit), 0);
    void (*old_handler)(int) = std::signal(SIGXFSZ, SIG_IGN);
    for (int pack : {0, 1}) {
        for (rlim_t limit : {rlim_t{100}, rlim_t{2 * IOrecStd::kWriteWindow + 10},
                             rlim_t{whole.size() - 1}}) {
            SCOPED_TRACE(testing::Message() << "pack " << pack << " limit " << limit);
            struct rlimit small = old_limit;
            small.rlim_cur = limit;
            ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
            const int r = drawing_file_save(target.c_str(), model.get(), pack);
            ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &old_limit), 0);
            EXPECT_EQ(r, EFBIG);
            EXPECT_EQ(read_bytes(target), (Bytes{'o', 'l', 'd'}));
            EXPECT_EQ(files_in(dir_), 1u);  // no temporary or scratch file left behind
        }
    }
    std::signal(SIGXFSZ, old_handler);
    EXPECT_EQ(drawing_file_save(target.c_str(), model.get(), 0), 0);
    EXPECT_EQ(read_bytes(target), whole);
}
