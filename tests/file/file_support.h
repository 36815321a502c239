// Helpers of the drawing-file tests: a scratch folder per test, whole-file reads and
// writes, a byte-string builder for hand-made files, a readable dump of a drawing
// (two drawings are equal when their dumps are), and a fixture that registers the
// classes and checks that every object a test makes is freed again.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "model/db/zobj.h"
#include "model/math/plist.h"

using Bytes = std::vector<uint8_t>;

Bytes read_bytes(const std::string& path);
void write_bytes(const std::string& path, const Bytes& bytes);
bool file_exists(const std::string& path);
// The names in a folder (hidden ones included), sorted.
std::vector<std::string> folder_names(const std::string& folder);

// Builds files byte by byte in the format's own little-endian forms.
struct ByteWriter {
    Bytes b;
    ByteWriter& u8(uint8_t v);
    ByteWriter& i32(int32_t v);
    ByteWriter& f32(float v);
    ByteWriter& f64(double v);
    ByteWriter& varint(uint32_t v);
    ByteWriter& str(const std::string& s);      // varint count and bytes
    ByteWriter& old_str(const std::string& s);  // 4-byte count and bytes
    ByteWriter& raw(const Bytes& more);
    ByteWriter& point(float x, float y, float z);
    // A chunk: varint tag, 4-byte length, the content.
    ByteWriter& chunk(uint32_t tag, const Bytes& content);
};

// A new empty MODEL (owning), or fails the test.
std::unique_ptr<MODEL> new_model();
// A fresh MODEL without its default layer.
std::unique_ptr<MODEL> bare_model();

// A new selection of the first layer's children of `m` (freed with buffer_free).
buffer* first_layer_selection(MODEL* m);

PointNode* make_points(std::initializer_list<Vec3> pts, bool closed = false);

// Every persistent field of the drawing, one line per item, in tree order (styles,
// children with their subtrees, views). Display geometry is included, so two dumps
// are equal only when the regenerated or stored strokes are.
std::string dump_drawing(const MODEL* model);

// The first object of the class with that name below the model (pre-order), or null.
ZOBJ* find_named(MODEL* model, const char* name, const RtcClass* cls);

class FileTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    std::string path(const std::string& name) const { return dir_ + "/" + name; }
    std::string dir_;

  private:
    long objects_before_ = 0;
};
