// Texture image files: kinds by name, loading into patterns, saving by kind without
// ever leaving a half-written target, CMYK plates, the installed decoders and the
// output devices.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

#include "image_test_support.h"
#include "imaging/formats/image_formats.h"
#include "imaging/formats/replace_file.h"
#include "imaging/output/output_device.h"
#include "imaging/texture/texture_image.h"
#include "model/db/patt.h"
#include "model/material/image/matrpmmf.h"
#include "model/rtc/rtc.h"

namespace {

class TextureImage : public ::testing::Test {
  protected:
    void SetUp() override {
        rtc_register_all();
        MATRPMMF_register();
        texture_image_install_decoders();
    }
    std::string path(const char* name) { return temp_dir() + "/" + name; }
    // Writes the picture in `kind`'s format with our encoder.
    void write(const std::string& file, const Picture& p) {
        ByteSink s;
        const int32_t kind = texture_image_kind(file.c_str());
        int e = kind == 0 ? bmp_encode(p.rgb.data(), p.w, p.h, &s)
              : kind == 1 ? gif_encode(p.rgb.data(), p.w, p.h, &s)
              : kind == 2 ? jpg_encode(p.rgb.data(), p.w, p.h, 98, &s)
                          : tga_encode24(p.rgb.data(), p.w, p.h, &s);
        ASSERT_EQ(e, 0);
        put_file(file, std::vector<uint8_t>(s.data(), s.data() + s.size()));
    }
};

struct Pattern {
    MATRPATT* p = nullptr;
    ~Pattern() { rtc_destroy(p); }
};

TEST_F(TextureImage, KindComesFromTheLastDotOfTheFileName) {
    const struct {
        const char* name;
        int32_t kind;
    } cases[] = {{"wall.bmp", 0}, {"WALL.GIF", 1}, {"a.jpg", 2}, {"a.JIF", 2}, {"a.tga", 3},
                 {"a.pic", 4},    {"a.Cel", 4},    {"a.flc", 4}, {"a.fli", 4}, {"v1.2/wall.gif", 1},
                 {"my.old.tga", 3}, {"dir.bmp/wall", -1}, {"wall", -1}, {"wall.", -1},
                 {"wall.png", -1}, {"wall.jpeg", -1}, {"", -1},       {nullptr, -1}};
    for (const auto& c : cases) EXPECT_EQ(texture_image_kind(c.name), c.kind) << (c.name ? c.name : "null");
}

TEST_F(TextureImage, TrueColourFilesDecodeAtOnceOthersKeepTheirBytes) {
    const Picture rich = picture_rich(9, 7), pal = picture_palette(9, 7, 12);
    write(path("t.tga"), rich);
    write(path("t.bmp"), rich);
    write(path("t.gif"), pal);
    {
        Pattern t;
        ASSERT_EQ(texture_image_load(&t.p, path("t.tga").c_str(), "brick"), 0);
        EXPECT_FALSE(rtc_is<MATRPMMF>(t.p));
        EXPECT_STREQ(t.p->name(), "brick");
        ASSERT_EQ(t.p->width, 9);
        EXPECT_EQ(0, std::memcmp(t.p->pixels, rich.rgb.data(), rich.rgb.size()));
    }
    {
        Pattern b;
        ASSERT_EQ(texture_image_load(&b.p, path("t.bmp").c_str(), "b"), 0);
        EXPECT_FALSE(rtc_is<MATRPMMF>(b.p));
    }
    Pattern g;
    ASSERT_EQ(texture_image_load(&g.p, path("t.gif").c_str(), "g"), 0);
    auto* mm = rtc_cast<MATRPMMF>(g.p);
    ASSERT_NE(mm, nullptr);
    EXPECT_EQ(mm->kind, kImageKindGif);
    EXPECT_EQ(mm->size, file_bytes(path("t.gif")).size());
    ASSERT_EQ(mm->make_image_ready(), 0);
    EXPECT_EQ(0, std::memcmp(mm->pixels, pal.rgb.data(), pal.rgb.size()));

    // Same kind: the kept bytes exactly; another kind: encoded from the pixels.
    ASSERT_EQ(texture_image_save(g.p, path("copy.gif").c_str()), 0);
    EXPECT_EQ(file_bytes(path("copy.gif")), file_bytes(path("t.gif")));
    ASSERT_EQ(texture_image_save(g.p, path("copy.tga").c_str()), 0);
    RgbImage back;
    const auto tga = file_bytes(path("copy.tga"));
    ASSERT_EQ(tga_decode(tga.data(), tga.size(), &back), 0);
    EXPECT_EQ(0, std::memcmp(back.pixels, pal.rgb.data(), pal.rgb.size()));
    EXPECT_EQ(texture_image_save(g.p, path("copy.flc").c_str()), kBadArgument);
    EXPECT_EQ(texture_image_save(g.p, path("copy.png").c_str()), kBadArgument);
}

TEST_F(TextureImage, LoadFailuresLeaveNoPattern) {
    put_file(path("bad.gif"), {'G', 'I', 'F', '8', '9', 'a', 0});
    const struct {
        std::string file;
        int result;
    } cases[] = {{path("bad.gif"), kBadArgument}, {path("none.bmp"), ENOENT}, {path("x.png"), kBadArgument}};
    for (const auto& c : cases) {
        MATRPATT* p = reinterpret_cast<MATRPATT*>(1);
        EXPECT_EQ(texture_image_load(&p, c.file.c_str(), "n"), c.result) << c.file;
        EXPECT_EQ(p, nullptr);
    }
}

// A save that cannot finish leaves the old file whole and no temporary behind.
TEST_F(TextureImage, FailedSaveKeepsTheTarget) {
    const Picture rich = picture_rich(5, 4);
    write(path("keep.bmp"), rich);
    const auto before = file_bytes(path("keep.bmp"));
    Pattern t;
    ASSERT_EQ(texture_image_load(&t.p, path("keep.bmp").c_str(), "k"), 0);
    const std::string ro = path("ro");
    mkdir(ro.c_str(), 0755);
    put_file(ro + "/x.bmp", before);
    chmod(ro.c_str(), 0555);
    if (access((ro + "/probe").c_str(), F_OK) != 0 && geteuid() != 0) {
        EXPECT_NE(texture_image_save(t.p, (ro + "/x.bmp").c_str()), 0);
        EXPECT_EQ(file_bytes(ro + "/x.bmp"), before);
    }
    chmod(ro.c_str(), 0755);
    // A directory where the file should be: the rename fails, nothing is left over.
    mkdir(path("dir.tga").c_str(), 0755);
    EXPECT_NE(texture_image_save(t.p, path("dir.tga").c_str()), 0);
    struct stat st {};
    EXPECT_TRUE(stat(path("dir.tga").c_str(), &st) == 0 && S_ISDIR(st.st_mode));
    EXPECT_EQ(system(("ls " + temp_dir() + " | grep -q 'dir.tga.'").c_str()) == 0, false);
}

// Images are saved as drawings are: the mode kept, a read-only file or a pipe refused
// and left as it is, no temporary in sight, those of saves that died removed.
TEST_F(TextureImage, SavesKeepTheModeRefuseWhatTheyMayNotReplaceAndTidyUp) {
    const std::string folder = path("modes");
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
    write(folder + "/src.bmp", picture_rich(5, 4));
    Pattern t;
    ASSERT_EQ(texture_image_load(&t.p, (folder + "/src.bmp").c_str(), "k"), 0);
    const std::vector<uint8_t> old = {'o', 'l', 'd'};
    const struct {
        const char* name;
        mode_t mode;  // 0: a named pipe
        int result;
    } cases[] = {{"priv.bmp", 0600, 0}, {"group.tga", 0640, 0}, {"ro.bmp", 0444, EACCES}, {"pipe.bmp", 0, kNotRegularFile}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string target = folder + "/" + c.name;
        put_file(target, old);
        ASSERT_EQ(chmod(target.c_str(), c.mode ? c.mode : 0644), 0);
        if (c.mode && fork() == 0) {  // a save of it that died in another process left its temporary
            ReplaceFile dying;
            if (dying.open(target.c_str()) == 0) dying.write("x", 1);
            _exit(0);
        }
        if (c.mode) wait(nullptr);
        if (!c.mode) ASSERT_TRUE(std::remove(target.c_str()) == 0 && mkfifo(target.c_str(), 0600) == 0);
        EXPECT_EQ(texture_image_save(t.p, target.c_str()), c.result);
        struct stat st {};
        ASSERT_EQ(lstat(target.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, c.mode ? c.mode : 0600);
        if (c.mode) EXPECT_EQ(file_bytes(target) == old, c.result != 0);
    }
    // Only the files themselves are left.
    ASSERT_EQ(system(("ls -A " + folder + " > " + path("listing")).c_str()), 0);
    const auto names = file_bytes(path("listing"));
    EXPECT_EQ(std::string(names.begin(), names.end()), "group.tga\npipe.bmp\npriv.bmp\nro.bmp\nsrc.bmp\n");
}

TEST_F(TextureImage, CmykPlatesHoldTheInksAndReportAFailedPlate) {
    const uint8_t rgb[] = {255, 255, 255, 0, 0, 0, 255, 0, 0, 0, 128, 255, 100, 50, 25};
    ASSERT_EQ(cmyk_save_image(path("sep.tga").c_str(), rgb, 5, 1), 0);
    const uint8_t want[4][5] = {{0, 0, 0, 255, 0}, {0, 0, 255, 128, 128}, {0, 0, 255, 0, 191}, {0, 255, 0, 0, 155}};
    const char* names[] = {"sep_c.tga", "sep_m.tga", "sep_y.tga", "sep_k.tga"};
    for (int p = 0; p < 4; ++p) {
        char name[512];
        cmyk_plate_name(path("sep.tga").c_str(), p, name, sizeof name);
        EXPECT_EQ(std::string(name), path(names[p]));
        const auto bytes = file_bytes(name);
        ASSERT_EQ(bytes.size(), 18u + 5);
        EXPECT_EQ(bytes[2], 3);  // grey
        for (int i = 0; i < 5; ++i) EXPECT_NEAR(bytes[18 + i], want[p][i], 1) << names[p] << " " << i;
    }
    // The yellow plate cannot be written: the others are, and the failure is told.
    mkdir(path("bad_y.tga").c_str(), 0755);
    EXPECT_NE(cmyk_save_image(path("bad.tga").c_str(), rgb, 5, 1), 0);
    EXPECT_EQ(file_bytes(path("bad_k.tga")).size(), 23u);
}

TEST_F(TextureImage, OutputDevicesAreTheRasterWriters) {
    output_device_register_all();
    output_device_register_all();
    int n = 0;
    const OutputDevice* list = output_device_list(&n);
    ASSERT_EQ(n, 5);
    const int types[] = {4, 6, 10, 11, 12};
    for (int i = 0; i < n; ++i) EXPECT_EQ(list[i].type, types[i]);
    EXPECT_EQ(output_device_find(7), nullptr);
    const Picture p = picture_palette(6, 4, 3);
    const OutputDevice* gif = output_device_find(6);
    ASSERT_EQ(gif->write(path("dev.gif").c_str(), p.rgb.data(), p.w, p.h), 0);
    const auto bytes = file_bytes(path("dev.gif"));
    RgbImage img;
    ASSERT_EQ(gif_decode(bytes.data(), bytes.size(), &img), 0);
    EXPECT_EQ(0, std::memcmp(img.pixels, p.rgb.data(), p.rgb.size()));
}

}  // namespace
