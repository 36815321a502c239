// Helpers of the stream tests: a scratch folder per test, writing and reading files
// through the streams under a guard, and byte-string literals.
#pragma once

#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

#include "model/db/zobj.h"
#include "model/stream/iorec.h"

using Bytes = std::vector<uint8_t>;

inline Bytes bytes(std::initializer_list<int> v) {
    Bytes b;
    for (int x : v) b.push_back(static_cast<uint8_t>(x));
    return b;
}

inline Bytes file_bytes(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

inline void put_file(const std::string& path, const Bytes& b) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

inline Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

class StreamTest : public ::testing::Test {
  protected:
    void SetUp() override {
        rtc_register_all();
        iorec_test_set_write_limit(-1);
        char tmpl[] = "/tmp/zelo_stream_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
    }
    void TearDown() override {
        iorec_test_set_write_limit(-1);
        for (const std::string& name : entries()) {
            const std::string p = dir_ + "/" + name;
            chmod(p.c_str(), 0700);
            std::remove(p.c_str());
        }
        chmod(dir_.c_str(), 0700);
        rmdir(dir_.c_str());
    }

  public:
    std::string path(const std::string& name) const { return dir_ + "/" + name; }

  protected:
    // Names in the scratch folder (temporary files included).
    std::vector<std::string> entries() const {
        std::vector<std::string> out;
        if (DIR* d = opendir(dir_.c_str())) {
            while (dirent* e = readdir(d)) {
                const std::string n = e->d_name;
                if (n != "." && n != "..") out.push_back(n);
            }
            closedir(d);
        }
        return out;
    }

    // Writes `name` through a plain stream; the body runs under the guard and the
    // stream is committed after it. Returns the guard's code.
    int write_file(const std::string& name, const std::function<void(IOrec*)>& body) {
        std::unique_ptr<IOrec> s = rtc_make<IOrecStd>();
        return io_guarded([&] {
            iorec_open(s.get(), path(name).c_str(), 1);
            body(s.get());
            iorec_commit(s.get());
        });
    }

    // Writes a file whose bytes are what `body` writes, and returns them.
    Bytes written(const std::function<void(IOrec*)>& body) {
        EXPECT_EQ(write_file("w.bin", body), 0);
        return file_bytes(path("w.bin"));
    }

    // Reads `b` back through a plain stream: the body runs under the guard.
    int read_bytes(const Bytes& b, const std::function<void(IOrec*)>& body) {
        put_file(path("r.bin"), b);
        std::unique_ptr<IOrec> s = rtc_make<IOrecStd>();
        return io_guarded([&] {
            iorec_open(s.get(), path("r.bin").c_str(), 0);
            body(s.get());
        });
    }

    std::string dir_;
};
