// A temporary folder and settings file for the window-free shell tests, so that no
// test touches the user's own settings or desktop files.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "model/services/profile.h"

class ShellCoreEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        char tmpl[] = "/tmp/zelo_shellcore_XXXXXX";
        const char* dir = mkdtemp(tmpl);
        ASSERT_NE(dir, nullptr);
        dir_ = dir;
        setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
        EXPECT_EQ(settings_open(dir_ + "/settings.ini"), 0);
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    static const std::string& temp_dir() { return dir_; }

  private:
    static inline std::string dir_;
};
