// Reference-image comparison of the scan-line tests (PPM files in tests/data/render/).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "scanline_test_util.h"

void golden_compare(const char* name, int w, int h, const std::vector<uint8_t>& got) {
    if (const char* out = std::getenv("ZELO_GOLDEN_OUT"))
        write_ppm(std::string(out) + "/" + name + ".ppm", w, h, got);
    const std::string ref = std::string(ZELO_TEST_DATA) + "/render/" + name + ".ppm";
    int rw = 0, rh = 0;
    std::vector<uint8_t> want;
    if (!read_ppm(ref, &rw, &rh, &want)) {
        const std::string cand = ::testing::TempDir() + "/" + name + ".ppm";
        write_ppm(cand, w, h, got);
        FAIL() << "no reference " << ref << "; candidate written to " << cand;
    }
    ASSERT_EQ(rw, w);
    ASSERT_EQ(rh, h);
    ASSERT_EQ(want.size(), got.size());
    size_t off = 0;
    for (size_t i = 0; i < got.size(); i += 3) {
        bool bad = false;
        for (int c = 0; c < 3; ++c) bad |= std::abs(int(got[i + c]) - int(want[i + c])) > 2;
        off += bad;
    }
    EXPECT_LE(off, got.size() / 3 / 500) << name;
}

void golden_check(const char* name, TestScene& s, int w, int h, const CAMERA* cam) {
    Image24 img(w, h);
    ASSERT_EQ(s.render(img, cam), 0) << name;
    golden_compare(name, w, h, img.bytes());
}
