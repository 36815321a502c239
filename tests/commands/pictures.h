// Canvas contents for the command tests: the raw bytes (for byte-for-byte checks of
// XOR drawing), the canvas as an image, and comparison with a reviewed reference
// picture under tests/data.
#pragma once

#include <gtest/gtest.h>

#include <QImage>
#include <QString>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "graphics/view/canvas.h"

// The canvas rows top to bottom, 3 bytes a pixel as the canvas holds them.
inline std::vector<uint8_t> canvas_pixels(const Canvas& c) {
    std::vector<uint8_t> out;
    for (int r = 0; r < c.height(); ++r) out.insert(out.end(), c.row(r), c.row(r) + 3 * c.width());
    return out;
}

// The canvas as a Format_BGR888 image (the canvas's own byte order).
inline QImage canvas_image(const Canvas& c) {
    QImage img(c.width(), c.height(), QImage::Format_BGR888);
    for (int r = 0; r < c.height(); ++r)
        std::memcpy(img.scanLine(r), c.row(r), 3 * static_cast<size_t>(c.width()));
    return img;
}

// Compares a Format_BGR888 image with tests/data/<folder>/<name>.png. A missing or
// different reference fails the test and writes the candidate to the test's temporary
// folder for a look.
inline void expect_picture(const QImage& got, const std::string& folder, const std::string& name) {
    const std::string ref = std::string(ZELO_TEST_DATA) + "/" + folder + "/" + name + ".png";
    const std::string candidate = ::testing::TempDir() + name + ".png";
    QImage want(QString::fromStdString(ref));
    if (want.isNull() || want.convertToFormat(QImage::Format_BGR888) != got) {
        got.save(QString::fromStdString(candidate));
        ADD_FAILURE() << "picture " << name << " differs from " << ref << "; candidate " << candidate;
    }
}

inline void expect_picture(const Canvas& c, const std::string& folder, const std::string& name) {
    expect_picture(canvas_image(c), folder, name);
}
